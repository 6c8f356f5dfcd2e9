// `quillpack list ARCHIVE`: the item names, one per line in UTF-8, as stored, in directory order.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/dir_manager.h"
#include "archive/exception.h"
#include "archive/file_stream.h"
#include "platform/platform.h"
#include "tools/commands.h"

namespace {

// A single-file archive read with the names in the OEM code page, as the component reads them.
class SingleFileOwner : public TQPDirManagerOwner {
 public:
  bool GetOEMFileNames() const override { return true; }
  TQPSpanningMode GetSpanningMode() const override { return smNone; }
  bool GetTolerantOpen() const override { return true; }
  TQPStream* SwitchVolume(const TQPVolumeNumberInfo&) override { throw EQPException(45, nullptr); }
};

}  // namespace

int RunList(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    std::fputs("usage: quillpack list ARCHIVE\n", stderr);
    return 2;
  }
  const std::u16string path = qp::platform::Utf8ToUtf16(args[0]);
  if (!qp::platform::FileExists(path)) throw EQPException(12, nullptr, {path});
  auto stream = TQPFileStream::Open(path, qp::platform::fmOpenRead | qp::platform::fmShareDenyNone);
  if (!stream) throw EQPException(33, nullptr, {path});
  SingleFileOwner owner;
  TQPDirManager manager(stream.get(), &owner);
  manager.ReadDirectory();

  std::string out;
  for (int32_t i = 0; i < manager.Directory.Count(); ++i) {
    out += qp::platform::Utf16ToUtf8(manager.Directory.ItemRef(i).ItemName);
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
