// Fuzzes the extraction of encrypted archives with the fixed password "fuzz" (its seeds are
// small archives encrypted with it, so that mutations reach the data behind a password that
// checks out). The first byte picks how further passwords are answered: nobody there, a
// handler that changes nothing, or one that cycles through wrong and right answers. Any input
// must extract, fail through EQPException or be skipped; no run may hang in the password
// loop, and nothing may appear outside the scratch folder's "out".
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "archive/component/archiver.h"
#include "archive/base/exception.h"
#include "extraction_scratch.h"

namespace fs = std::filesystem;
using extraction_scratch::EnginePath;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path root = extraction_scratch::Root("qp-fuzz-extract-encrypted");
  const fs::path archive = root / "input.zip";
  const fs::path out = root / "out";
  extraction_scratch::WriteInput(archive, data, size);
  const uint8_t variant = size > 0 ? data[0] : 0;

  {
    TQuillpack arc(nullptr);
    arc.FileName = EnginePath(archive);
    arc.BaseDir = EnginePath(out);
    arc.Options().OverwriteMode = omAlways;
    arc.ExtractCorruptedFiles = (variant & 4) != 0;
    arc.SetPassword((variant & 8) ? "" : "fuzz");
    int chunks = 0;
    arc.OnFileProgress = [&](TComponent*, const std::u16string&, double, TQPProcessOperation, TQPProgressPhase phase,
                             bool& cancel) { cancel = phase == ppProcess && ++chunks > 64; };
    int asked = 0;
    switch (variant & 3) {
      case 1:
        arc.OnPassword = [&](TComponent*, const std::u16string&, std::string&, bool&) { ++asked; };
        break;
      case 2:
        arc.OnPassword = [&](TComponent*, const std::u16string&, std::string& password, bool&) {
          static const char* const answers[] = {"wrong", "fuzz", "", "also wrong"};
          password = answers[asked++ % 4];
        };
        break;
      default:
        break;  // nobody installed to ask: skipped
    }
    arc.OnProcessFileFailure = [](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                  const std::u16string&, TQPAction& action) { action = fxaIgnore; };
    try {
      arc.OpenArchive(kOpenModeReadOnlyDenyNone);
      arc.ExtractFiles(u"*.*", 10431, u"");
    } catch (const EQPException&) {
    }
    // A handler that offers nothing new is asked at most a few times per item.
    if (asked > 4 * (arc.ItemCount() + 1)) std::abort();
  }

  extraction_scratch::CheckAndClear(root, archive, out);
  return 0;
}
