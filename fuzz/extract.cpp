// Fuzzes extraction end to end: the input is written as an archive file, opened by the
// component and extracted with every item into a scratch folder. Any input must extract or
// fail through EQPException, and nothing may appear outside the scratch folder's "out".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/component/archiver.h"
#include "archive/component/exception.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Scratch() {
  static const fs::path root = [] {
    fs::path p = fs::temp_directory_path() / ("qp-fuzz-extract-" + std::to_string(qp::platform::HighResCounter()));
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

std::u16string EnginePath(const fs::path& p) {
  std::u16string s = qp::platform::Utf8ToUtf16(p.string());
  for (char16_t& c : s)
    if (c == u'/') c = u'\\';
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path root = Scratch();
  const fs::path archive = root / "input.zip";
  const fs::path out = root / "out";
  std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  {
    TQuillpack arc(nullptr);
    arc.FileName = EnginePath(archive);
    arc.BaseDir = EnginePath(out);
    arc.Options().OverwriteMode = size > 0 && (data[size - 1] & 1) ? omAlways : omNever;
    arc.ExtractCorruptedFiles = size > 0 && (data[0] & 2);
    // Many items may share one small bomb: stop a run after 64 output chunks.
    int chunks = 0;
    arc.OnFileProgress = [&](TComponent*, const std::u16string&, double, TQPProcessOperation, TQPProgressPhase phase,
                             bool& cancel) { cancel = phase == ppProcess && ++chunks > 64; };
    // Half the runs with a handler that changes nothing, which must not change what is written.
    if (size > 0 && (data[0] & 4))
      arc.OnExtractFile = [](TComponent*, std::u16string&, uint32_t&, const std::string&) {};
    arc.OnProcessFileFailure = [](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                  const std::u16string&, TQPAction& action) { action = fxaIgnore; };
    try {
      arc.OpenArchive(kOpenModeReadOnlyDenyNone);
      arc.ExtractFiles(u"*.*", 10431, u"");
    } catch (const EQPException&) {
    }
  }

  // Only the input and the destination may exist in the scratch folder.
  for (const auto& entry : fs::directory_iterator(root)) {
    if (entry.path() != archive && entry.path() != out) std::abort();
  }
  std::error_code ignored;
  for (const auto& e : fs::recursive_directory_iterator(out, ignored))
    fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(out, ignored);
  return 0;
}
