// `quillpack list [-v] ARCHIVE`: the item names, one per line in UTF-8, as stored, in directory
// order; with -v, the columns of every item and a totals line. The archive is opened through
// the component, read only, so split sets and self-extractors are found as the component
// finds them.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/component/archiver.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/terminal_questions.h"
#include "platform/terminal/terminal.h"
#include "tools/terminal_text.h"
#include "tools/verbose_listing.h"

int RunList(const std::vector<std::string>& args) {
  std::string archivePath;
  bool verbose = false;
  size_t paths = 0;
  for (const std::string& a : args) {
    if (a == "-v") {
      verbose = true;
    } else {
      archivePath = a;
      ++paths;
    }
  }
  if (paths != 1) {
    std::fputs("usage: quillpack list [-v] ARCHIVE\n", stderr);
    return 2;
  }
  InstallTerminalQuestions();
  TQuillpack archiver(nullptr);
  archiver.FileName = qp::platform::Utf8ToUtf16(archivePath);
  archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
  // A terminal sees no control character of a name; a pipe gets the names byte for byte,
  // except that a line break is escaped so that every line is one name.
  const bool terminal = qp::platform::terminal::StdoutIsTerminal();
  if (verbose) {
    const std::string out = VerboseListing(archiver.DirManager()->Directory, terminal);
    std::fwrite(out.data(), 1, out.size(), stdout);
    archiver.CloseArchive();
    return 0;
  }

  // One buffered write: listings of 100,000 items must not cost a system call per line.
  std::string out;
  TQPDirManager& manager = *archiver.DirManager();
  const int32_t count = manager.Directory.Count();
  out.reserve(static_cast<size_t>(count) * 32);
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = qp::platform::Utf16ToUtf8(manager.Directory.ItemRef(i).ItemName);
    out += terminal ? EscapeControls(name) : EscapeLineBreaks(name);
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  archiver.CloseArchive();
  return 0;
}
