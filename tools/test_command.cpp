// `quillpack test ARCHIVE [MASK ...] [-p PASSWORD]`: decodes the selected items (all when no
// mask is given) without writing them, through the engine's own decoder, so that the checks
// are those of an extraction. One line per failing item and a summary on stdout; exit status
// 0 when every item passed, 1 otherwise.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal/terminal.h"
#include "tools/commands.h"
#include "tools/counting_archiver.h"
#include "tools/progress_bar.h"
#include "tools/selection.h"
#include "tools/typed_password.h"
#include "tools/terminal_questions.h"
#include "tools/terminal_text.h"

namespace {

namespace pf = qp::platform;

int Usage() {
  std::fputs("usage: quillpack test ARCHIVE [MASK ...] [-p PASSWORD]\n", stderr);
  return 2;
}

}  // namespace

int RunTest(const std::vector<std::string>& args) {
  CommandWords words;
  if (!ParseCommandWords(args, {"-p"}, words)) return Usage();
  const std::vector<std::string>& masks = words.masks;

  InstallTerminalQuestions();
  const bool terminal = qp::platform::terminal::StdoutIsTerminal();
  CountingArchiver archiver;
  archiver.FileName = EnginePath(words.archive);
  if (words.values.count("-p")) archiver.SetPassword(PasswordFromArgument(words.values["-p"]));

  ProgressBar bar;
  int failed = 0;
  archiver.OnProcessFileFailure = [&](TComponent*, const std::u16string& name, TQPProcessOperation, int32_t,
                                      int32_t, const std::u16string& message, TQPAction& action) {
    bar.Clear();
    std::printf("%s: %s\n", ShownItemName(name, terminal).c_str(),
                FailureForTerminal(message, archiver.FailureSystemError()).c_str());
    std::fflush(stdout);
    ++failed;
    action = fxaIgnore;
  };
  ConnectProgress(archiver, bar);

  CatchInterrupt();
  archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
  // A directory rebuilt from the local headers lacks the items whose headers were cut off or
  // unreadable: a test that passed the rest would hide them.
  const char* rebuilt = RebuiltDirectoryNotice(archiver.GetDirectoryState());
  if (rebuilt) {
    std::printf("%s: %s\n", (terminal ? EscapeControls(words.archive) : EscapeLineBreaks(words.archive)).c_str(),
                rebuilt);
  }
  RunOnSelection(archiver, masks, "", poTest);
  const int tested = TaggedItems(archiver, false);
  archiver.CloseArchive();
  bar.Clear();
  ReleaseInterrupt();

  if (Interrupted()) {
    std::fputs("quillpack: test cancelled\n", stderr);
    return 1;
  }
  if (!masks.empty() && tested == 0 && failed == 0) {
    // A mask that matches nothing is a mistake to point out, not a passed test.
    std::fputs("quillpack: no item matches the masks\n", stderr);
    return 1;
  }
  if (rebuilt && failed == 0 && archiver.skipped == 0) {
    std::printf("%d item(s) passed, but the directory was rebuilt\n", tested);
    return 1;
  }
  if (failed > 0 || archiver.skipped > 0) {
    std::printf("%d of %d item(s) failed, %d skipped for want of a password\n", failed, tested, archiver.skipped);
    return 1;
  }
  std::printf("no errors in %d item(s)\n", tested);
  return 0;
}
