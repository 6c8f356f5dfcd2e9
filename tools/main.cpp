// quillpack: the engine's command-line tool. `quillpack list ARCHIVE` prints the item names;
// `quillpack extract ARCHIVE ...` extracts items.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/terminal_text.h"

namespace {

int Usage() {
  std::fputs("usage: quillpack list ARCHIVE\n"
             "       quillpack extract ARCHIVE [-d DIR] [-o prompt|always|never|newer|older] [-p PASSWORD]\n"
             "                         [-x EXCLUDE] [MASK ...]\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "list") return RunList(args);
    if (command == "extract") return RunExtract(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", MessageForTerminal(e.what()).c_str());
    return 1;
  }
  return Usage();
}
