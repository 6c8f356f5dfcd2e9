// `quillpack extract ARCHIVE [-d DIR] [-o prompt|always|never|newer|older] [-p PASSWORD]
// [-x EXCLUDE] [MASK ...]`: extracts the selected items through the archive component,
// reporting item failures on stderr and counting them; exit status 0 when every selected item
// was written (or kept by the -o rule), 1 when any item failed or was skipped, 3 when nothing
// failed but the person answered No to replacing an existing file.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "archive/component/archiver.h"
#include "archive/component/exception.h"
#include "platform/platform.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"
#include "tools/terminal_questions.h"
#include "tools/terminal_text.h"
#include "tools/typed_password.h"

namespace {

namespace pf = qp::platform;

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

int Usage() {
  std::fputs(
      "usage: quillpack extract ARCHIVE [-d DIR] [-o prompt|always|never|newer|older] [-p PASSWORD]\n"
      "                         [-x EXCLUDE] [MASK ...]\n",
      stderr);
  return 2;
}

std::u16string EnginePath(const std::string& path) {
  std::u16string p = pf::Utf8ToUtf16(path);
  std::replace(p.begin(), p.end(), u'/', u'\\');
  return p;
}

// The component, counting the items skipped for want of a password and the existing files
// the person chose to keep.
class ExtractingArchiver : public TQuillpack {
 public:
  ExtractingArchiver() : TQuillpack(nullptr) {}
  // A new item: no password has been tried on it in its other form yet.
  void StartItem() { bothFormsTried_.clear(); }
  void DoOnPassword(const std::u16string& fileName, std::string& password, bool& skipFile) override {
    // A password given as typed goes to the engine in the ANSI code page; an archive written
    // on a POSIX system holds the typed (UTF-8) bytes instead. Before anyone is asked, the
    // other form of the password that failed gets its one try on this item.
    const std::optional<std::string> other = OtherFormOf(password);
    if (other && std::find(bothFormsTried_.begin(), bothFormsTried_.end(), password) == bothFormsTried_.end()) {
      bothFormsTried_.push_back(password);
      bothFormsTried_.push_back(*other);
      password = *other;
      skipFile = false;
      return;
    }
    TQuillpack::DoOnPassword(fileName, password, skipFile);
    if (skipFile) ++skipped;
  }
  void DoOnConfirmOverwrite(const std::u16string& source, std::u16string& dest, bool& confirm) override {
    if (declineAll_) {
      confirm = false;
    } else {
      TQuillpack::DoOnConfirmOverwrite(source, dest, confirm);
      // "No to all" turns the mode to omNever, after which the engine skips existing files
      // without asking; answering No here for the rest of the run keeps them counted.
      if (!confirm && Options().OverwriteMode == omNever) {
        Options().OverwriteMode = omPrompt;
        declineAll_ = true;
      }
    }
    if (!confirm) ++declined;
  }
  int skipped = 0;
  int declined = 0;

 private:
  bool declineAll_ = false;
  std::vector<std::string> bothFormsTried_;
};

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
  std::string archivePath;
  std::string destination;
  std::string password;
  std::string exclusion;
  bool havePassword = false;
  TQPOverwriteMode mode = omPrompt;
  std::vector<std::string> masks;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool takesValue = a == "-d" || a == "-o" || a == "-p" || a == "-x";
    if (takesValue && i + 1 >= args.size()) return Usage();
    if (a == "-d") {
      destination = args[++i];
    } else if (a == "-o") {
      if (!ParseOverwriteMode(args[++i], mode)) return Usage();
    } else if (a == "-p") {
      password = args[++i];
      havePassword = true;
    } else if (a == "-x") {
      exclusion = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage();
    } else if (archivePath.empty()) {
      archivePath = a;
    } else {
      masks.push_back(a);
    }
  }
  if (archivePath.empty()) return Usage();

  InstallTerminalQuestions();
  ExtractingArchiver archiver;
  archiver.FileName = EnginePath(archivePath);
  archiver.BaseDir = EnginePath(destination);
  archiver.Options().OverwriteMode = mode;
  if (havePassword) archiver.SetPassword(PasswordFromArgument(password));

  ProgressBar bar;
  int failed = 0;
  archiver.OnProcessFileFailure = [&](TComponent*, const std::u16string&, TQPProcessOperation, int32_t, int32_t,
                                      const std::u16string& message, TQPAction& action) {
    bar.Clear();
    std::fprintf(stderr, "%s\n", MessageForTerminal(pf::Utf16ToUtf8(message)).c_str());
    ++failed;
    action = fxaIgnore;
  };
  archiver.OnFileProgress = [&](TComponent*, const std::u16string& name, double, TQPProcessOperation,
                                TQPProgressPhase phase, bool& cancel) {
    if (phase == ppStart) {
      bar.SetItem(pf::Utf16ToUtf8(name));
      archiver.StartItem();
    }
    cancel = interrupted;
  };
  archiver.OnOverallProgress = [&](TComponent*, double progress, TQPProcessOperation, TQPProgressPhase,
                                   bool& cancel) {
    bar.SetPercent(progress);
    cancel = interrupted;
  };

  // Ctrl+C becomes the engine's Cancel, so that the file being written is removed and an
  // existing file being replaced is kept.
  std::signal(SIGINT, OnInterrupt);
  archiver.OpenArchive(kOpenModeReadOnlyDenyNone);
  // Masks are written with either separator; the engine compares the single mask with '/'
  // names and the mask lists with '\' names.
  std::u16string exclude = pf::Utf8ToUtf16(exclusion);
  if (masks.size() <= 1) {
    std::replace(exclude.begin(), exclude.end(), u'\\', u'/');
    const std::u16string mask = masks.empty() ? std::u16string(u"*.*") : pf::Utf8ToUtf16(masks[0]);
    archiver.ExtractFiles(mask, archiver.Options().SearchAttr, exclude);
  } else {
    for (const std::string& m : masks) archiver.FileMasks.push_back(EnginePath(m));
    std::replace(exclude.begin(), exclude.end(), u'/', u'\\');
    if (!exclude.empty()) archiver.ExclusionMasks.push_back(exclude);
    archiver.ExtractFiles(u"", archiver.Options().SearchAttr, u"");
  }
  archiver.CloseArchive();
  bar.Clear();
  std::signal(SIGINT, SIG_DFL);

  if (interrupted) {
    std::fputs("quillpack: extraction cancelled\n", stderr);
    return 1;
  }
  if (failed > 0 || archiver.skipped > 0 || archiver.declined > 0) {
    std::fprintf(stderr,
                 "quillpack: %d item(s) failed, %d item(s) skipped for want of a password, "
                 "%d existing file(s) kept (answered No)\n",
                 failed, archiver.skipped, archiver.declined);
    return failed > 0 || archiver.skipped > 0 ? 1 : 3;
  }
  return 0;
}
