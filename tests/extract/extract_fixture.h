// Shared set-up of the extraction tests: a scratch folder in the engine's path form, an
// archive written into it and opened by a component, and helpers to inspect what was
// extracted without going through the engine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/component/archiver.h"
#include "platform/platform.h"
#include "tests/support/zip_builder.h"

namespace extract_test {

inline std::filesystem::path Native(const std::u16string& path) {
#ifdef _WIN32
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
#else
  std::string native = qp::platform::Utf16ToUtf8(path);
  std::replace(native.begin(), native.end(), '\\', '/');
  return std::filesystem::path(native);
#endif
}

inline std::u16string U(const std::string& s) { return qp::platform::Utf8ToUtf16(s); }

// The component with its archive stream within reach, so that a test can put a failing
// stream in its place.
class TestArchiver : public TQuillpack {
 public:
  using TQuillpack::TQuillpack;
  std::unique_ptr<TQPStream>& ArchiveStreamSlot() { return source_->StreamSlot(); }
};

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = qp::platform::TempFolder() + u"qp_extract_" +
            U(std::to_string(qp::platform::HighResCounter()) + "_" + std::to_string(++serial)) + u"\\";
    ASSERT_TRUE(qp::platform::ForceDirectories(root_));
    dest_ = root_ + u"out\\";
    arc_.Name = u"Archiver";
  }
  void TearDown() override {
    arc_.CloseArchive();
    std::error_code ignored;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Native(root_), ignored))
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(Native(root_), ignored);
  }

  // Writes `bytes` as an archive in the scratch folder and opens it read-only.
  void Open(const std::string& bytes) {
    const std::u16string path = root_ + u"test.zip";
    std::ofstream(Native(path), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    arc_.FileName = path;
    arc_.BaseDir = dest_;
    arc_.OpenArchive(kOpenModeReadOnlyDenyNone);
  }
  void Open(const ZipBuilder& builder) { Open(builder.Build()); }

  // Paths relative to the destination, with '/'.
  std::filesystem::path At(const std::string& relative) const { return Native(dest_) / relative; }
  bool Exists(const std::string& relative) const { return std::filesystem::exists(At(relative)); }
  std::string Read(const std::string& relative) const {
    std::ifstream f(At(relative), std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void Put(const std::string& relative, const std::string& bytes) const {
    std::filesystem::create_directories(At(relative).parent_path());
    std::ofstream(At(relative), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // Every file and folder below the scratch root, relative to it, sorted.
  std::vector<std::string> Everything() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Native(root_)))
      out.push_back(std::filesystem::relative(e.path(), Native(root_)).generic_string());
    std::sort(out.begin(), out.end());
    return out;
  }

  void ExtractAll() { arc_.ExtractFiles(u"*.*", 10431, u""); }

  std::u16string root_;
  std::u16string dest_;
  TestArchiver arc_{nullptr};
};

inline ZipEntry Entry(std::string name, std::string data, bool deflate = false) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.deflate = deflate;
  return e;
}

// Deterministic bytes that deflate moderately, like text.
inline std::string TextLike(size_t size, uint32_t seed = 1) {
  static const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta ", "eta, ", "theta. "};
  std::string s;
  s.reserve(size + 16);
  uint32_t x = seed;
  while (s.size() < size) {
    x = x * 1103515245u + 12345u;
    s += words[(x >> 16) & 7];
    if (((x >> 8) & 15) == 0) s += std::to_string(x % 100000);
  }
  s.resize(size);
  return s;
}

}  // namespace extract_test
