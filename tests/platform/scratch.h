// A scratch folder under the temporary folder for each test, removed afterwards, and helpers
// to reach the same files without the platform layer (to check what it really did).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace qp::platform::testing {

inline std::filesystem::path NativePath(const std::u16string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  std::string native = Utf16ToUtf8(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return std::filesystem::path(native);
#endif
}

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempFolder() + u"qp_platform_" + Utf8ToUtf16(std::to_string(HighResCounter())) + u"\\";
    ASSERT_TRUE(ForceDirectories(root_));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::path native = NativePath(root_);
    // Read-only files would stop the removal on Windows.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(native, ignored)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(native, ignored);
  }

  std::u16string Path(const std::u16string& relative) const { return root_ + relative; }

  void WriteFile(const std::u16string& relative, const std::string& content) {
    File file;
    ASSERT_TRUE(file.Create(Path(relative)));
    ASSERT_EQ(file.Write(content.data(), content.size()), static_cast<int64_t>(content.size()));
  }

  std::string ReadFile(const std::u16string& relative, uint16_t mode = fmOpenRead | fmShareDenyNone) {
    File file;
    if (!file.Open(Path(relative), mode)) return "<open failed>";
    std::string content(static_cast<size_t>(file.Size()), '\0');
    if (file.Read(content.data(), content.size()) != static_cast<int64_t>(content.size())) {
      return "<read failed>";
    }
    return content;
  }

  std::u16string root_;
};

}  // namespace qp::platform::testing
