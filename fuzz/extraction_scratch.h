// The scratch folder of the extraction fuzz targets: one input archive and a destination
// folder "out" beside it, removed at exit; after each input nothing else may be there.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace extraction_scratch {

namespace fs = std::filesystem;

inline const fs::path& Root(const char* name) {
  static const fs::path root = [name] {
    fs::path p = fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(qp::platform::HighResCounter()));
    fs::create_directories(p);
    return p;
  }();
  // The fuzzer ends through exit(): leave no scratch folder behind.
  static const bool cleanupRegistered = [] {
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(root, ignored);
    });
    return true;
  }();
  (void)cleanupRegistered;
  return root;
}

inline std::u16string EnginePath(const fs::path& p) {
  std::u16string s = qp::platform::Utf8ToUtf16(p.string());
  for (char16_t& c : s)
    if (c == u'/') c = u'\\';
  return s;
}

inline void WriteInput(const fs::path& archive, const uint8_t* data, size_t size) {
  std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Aborts when anything but the input and the destination appeared; empties the destination.
inline void CheckAndClear(const fs::path& root, const fs::path& archive, const fs::path& out) {
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path() != archive && entry.path() != out) std::abort();
  }
  std::error_code ignored;
  for (const auto& e : fs::recursive_directory_iterator(out, ignored))
    fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(out, ignored);
}

}  // namespace extraction_scratch
