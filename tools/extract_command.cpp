// `quillpack extract ARCHIVE [-d DIR] [-o prompt|always|never|newer|older] [-p PASSWORD]
// [-x EXCLUDE] [MASK ...]`: extracts the selected items through the archive component,
// reporting item failures on stderr and counting them; exit status 0 when every selected item
// was written (or kept by the -o rule), 1 when any item failed or was skipped, when the masks
// selected nothing, or when the directory had to be rebuilt from the local headers (a cut-off
// or damaged archive: what was found is written, but items may be missing), 3 when nothing
// failed but the person answered No to replacing an existing file.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/base/exception.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/counting_archiver.h"
#include "tools/progress_bar.h"
#include "tools/selection.h"
#include "tools/terminal_questions.h"
#include "tools/terminal_text.h"
#include "tools/typed_password.h"

namespace {

namespace pf = qp::platform;

int Usage() {
  std::fputs(
      "usage: quillpack extract ARCHIVE [-d DIR] [-o prompt|always|never|newer|older] [-p PASSWORD]\n"
      "                         [-x EXCLUDE] [MASK ...]\n",
      stderr);
  return 2;
}

bool ParseOverwriteMode(const std::string& text, TQPOverwriteMode& mode) {
  static const struct {
    const char* name;
    TQPOverwriteMode mode;
  } kModes[] = {{"prompt", omPrompt}, {"always", omAlways}, {"never", omNever},
                {"newer", omIfNewer}, {"older", omIfOlder}};
  for (const auto& m : kModes) {
    if (text == m.name) {
      mode = m.mode;
      return true;
    }
  }
  return false;
}

}  // namespace

int RunExtract(const std::vector<std::string>& args) {
  CommandWords words;
  if (!ParseCommandWords(args, {"-d", "-o", "-p", "-x"}, words)) return Usage();
  TQPOverwriteMode mode = omPrompt;
  if (words.values.count("-o") && !ParseOverwriteMode(words.values["-o"], mode)) return Usage();

  InstallTerminalQuestions();
  CountingArchiver archiver;
  archiver.FileName = EnginePath(words.archive);
  archiver.BaseDir = EnginePath(words.values["-d"]);
  archiver.Options().OverwriteMode = mode;
  if (words.values.count("-p")) archiver.SetPassword(PasswordFromArgument(words.values["-p"]));

  ProgressBar bar;
  int failed = 0;
  archiver.OnProcessFileFailure = [&](TComponent*, const std::u16string& name, TQPProcessOperation, int32_t,
                                      int32_t, const std::u16string& message, TQPAction& action) {
    bar.Clear();
    // Not every engine message names the item (a full disk does not), so the line does.
    std::fprintf(stderr, "%s: %s\n", ShownItemName(name, true).c_str(),
                 FailureForTerminal(message, archiver.FailureSystemError()).c_str());
    ++failed;
    action = fxaIgnore;
  };
  ConnectProgress(archiver, bar);

  CatchInterrupt();
  archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
  const char* rebuilt = RebuiltDirectoryNotice(archiver.GetDirectoryState());
  RunOnSelection(archiver, words.masks, words.values["-x"], poExtract);
  const int selected = TaggedItems(archiver, true);
  archiver.CloseArchive();
  bar.Clear();
  ReleaseInterrupt();

  if (Interrupted()) {
    std::fputs("quillpack: extraction cancelled\n", stderr);
    return 1;
  }
  // What could be recovered was written, but a run over a rebuilt directory is never whole.
  if (rebuilt) std::fprintf(stderr, "quillpack: %s: %s\n", MessageForTerminal(words.archive).c_str(), rebuilt);
  if (failed > 0 || archiver.skipped > 0 || archiver.declined > 0) {
    std::fprintf(stderr,
                 "quillpack: %d item(s) failed, %d item(s) skipped for want of a password, "
                 "%d existing file(s) kept (answered No)\n",
                 failed, archiver.skipped, archiver.declined);
    return failed > 0 || archiver.skipped > 0 || rebuilt ? 1 : 3;
  }
  if (!words.masks.empty() && selected == 0) {
    std::fputs("quillpack: no item matches the masks\n", stderr);
    return 1;
  }
  return rebuilt ? 1 : 0;
}
