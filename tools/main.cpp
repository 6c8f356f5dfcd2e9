// quillpack: the engine's command-line tool. `quillpack list ARCHIVE` prints the item names,
// `quillpack test ARCHIVE ...` checks items without writing them, `quillpack extract ARCHIVE
// ...` extracts items, `quillpack sfx STUB ARCHIVE OUTPUT` makes a self-extractor; --help and
// --version say what the tool is.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "archive/component/archiver.h"
#include "platform/platform.h"
#include "platform/terminal/terminal.h"
#include "tools/commands.h"
#include "tools/terminal_text.h"

#ifndef QP_VERSION
#error "QP_VERSION comes from the project's version in CMake"
#endif

namespace {

constexpr const char* kUsage =
    "usage: quillpack list [-v] ARCHIVE\n"
    "       quillpack test ARCHIVE [MASK ...] [-p PASSWORD]\n"
    "       quillpack extract ARCHIVE [-d DIR] [-o prompt|always|never|newer|older] [-p PASSWORD]\n"
    "                         [-x EXCLUDE] [MASK ...]\n"
    "       quillpack sfx STUB ARCHIVE OUTPUT\n"
    "       quillpack --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "  list      the item names, one per line, in directory order; -v adds size, packed size,\n"
    "            ratio, method, date and time, CRC-32, an encrypted mark (*) and totals\n"
    "  test      decodes the selected items without writing anything and checks their size\n"
    "            and CRC-32; prints a line per failing item and a summary\n"
    "  extract   writes the selected items below DIR (default: the current folder)\n"
    "            -o   what to do with an existing file (default: ask)\n"
    "            -p   the password of encrypted items\n"
    "            -x   leave out the items this mask names\n"
    "  sfx       writes STUB followed by ARCHIVE as OUTPUT and checks that the engine finds\n"
    "            the archive's items behind the stub (removes OUTPUT and exits 1 otherwise)\n"
    "  MASK      selects items by name: * and ? as wildcards, / or \\ as separator\n"
    "\n"
    "exit status:\n"
    "  0  everything selected was listed, passed the test or was written (or kept by -o)\n"
    "  1  the archive could not be opened, an item failed or was skipped for want of a\n"
    "     password, test or extract found the archive cut off or damaged, or no item\n"
    "     matching the masks, or the run was cancelled\n"
    "  2  usage error\n"
    "  3  extract: nothing failed, but existing files were kept because the answer was No\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

int Help() {
  std::fputs(kUsage, stdout);
  std::fputs(kHelp, stdout);
  return 0;
}

int Version() {
  // The component's version carries a trailing blank.
  std::string component = qp::platform::Utf16ToUtf8(TQuillpack(nullptr).GetCurrentVersion());
  while (!component.empty() && component.back() == ' ') component.pop_back();
  std::printf("quillpack %s (archive component %s)\n", QP_VERSION, component.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all = qp::platform::terminal::CommandArguments(argc, argv);
  if (all.size() < 2) return Usage();
  const std::string command = all[1];
  const std::vector<std::string> args(all.begin() + 2, all.end());
  try {
    if (command == "--help" || command == "-h") return Help();
    if (command == "--version") return Version();
    if (command == "list") return RunList(args);
    if (command == "test") return RunTest(args);
    if (command == "extract") return RunExtract(args);
    if (command == "sfx") return RunSfx(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", MessageForTerminal(e.what()).c_str());
    return 1;
  }
  return Usage();
}
