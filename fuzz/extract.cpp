// Fuzzes extraction end to end: the input is written as an archive file, opened by the
// component and extracted with every item into a scratch folder. Any input must extract or
// fail through EQPException, and nothing may appear outside the scratch folder's "out".
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "extraction_scratch.h"

namespace fs = std::filesystem;
using extraction_scratch::EnginePath;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path root = extraction_scratch::Root("qp-fuzz-extract");
  const fs::path archive = root / "input.zip";
  const fs::path out = root / "out";
  extraction_scratch::WriteInput(archive, data, size);

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
  extraction_scratch::CheckAndClear(root, archive, out);
  return 0;
}
