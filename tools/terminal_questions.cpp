// The tool's answers to the engine's questions. On a controlling terminal the question is
// shown with the German button captions as numbered choices and the answer is read from
// stdin; without one (a batch run) nothing is read and the absent user's answer is given,
// except that a failed item is reported on stderr and skipped, so the run goes on.
#include "tools/terminal_questions.h"
#include "tools/terminal_text.h"
#include "tools/typed_password.h"

#include <cstdio>
#include <string>
#include <vector>

#include "archive/component/user_questions.h"
#include "platform/platform.h"
#include "platform/terminal/terminal.h"

namespace {

struct Choice {
  TQPDialogButton button;
  TQPDialogResult result;
  const char* caption;
};

// In the order the dialogs show their buttons.
constexpr Choice kChoices[] = {
    {qbYes, TQPDialogResult::qrYes, "Ja"},
    {qbNo, TQPDialogResult::qrNo, "Nein"},
    {qbOK, TQPDialogResult::qrOK, "OK"},
    {qbCancel, TQPDialogResult::qrCancel, "Abbrechen"},
    {qbAbort, TQPDialogResult::qrAbort, "Abbrechen"},
    {qbRetry, TQPDialogResult::qrRetry, "Wiederholen"},
    {qbIgnore, TQPDialogResult::qrIgnore, "Ignorieren"},
    {qbNoToAll, TQPDialogResult::qrNoToAll, "Nein f\xC3\xBCr alle"},
    {qbYesToAll, TQPDialogResult::qrYesToAll, "Ja f\xC3\xBCr alle"},
};

// One line from stdin without its line end; false at the end of the input.
bool ReadLine(std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(stdin)) != EOF) {
    if (c == '\n') return true;
    if (c != '\r') line += static_cast<char>(c);
  }
  return !line.empty();
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// ASCII-only case folding: the captions' umlauts are compared as typed.
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

class TerminalQuestions : public IQPUserQuestions {
 public:
  TQPDialogResult MessageDialog(TQPDialogKind, const std::u16string& text, uint32_t buttons) override {
    const std::string message = MessageForTerminal(qp::platform::Utf16ToUtf8(text));
    if (!qp::platform::terminal::StdinIsTerminal()) return Unattended(message, buttons);

    std::vector<const Choice*> offered;
    for (const Choice& choice : kChoices) {
      if (buttons & choice.button) offered.push_back(&choice);
    }
    for (;;) {
      std::fprintf(stderr, "%s\n", message.c_str());
      for (size_t i = 0; i < offered.size(); ++i) std::fprintf(stderr, "  [%zu] %s\n", i + 1, offered[i]->caption);
      std::fputs("> ", stderr);
      std::fflush(stderr);
      std::string line;
      if (!ReadLine(line)) return TQPDialogResult::qrNone;  // the terminal was closed
      const std::string answer = Lower(Trim(line));
      for (size_t i = 0; i < offered.size(); ++i) {
        if (answer == std::to_string(i + 1) || answer == Lower(offered[i]->caption)) return offered[i]->result;
      }
    }
  }

  bool PasswordDialog(const std::u16string& fileName, std::string& password) override {
    if (!qp::platform::terminal::StdinIsTerminal()) return false;
    std::fprintf(stderr, "Password for \"%s\"\nEnter password: ",
                 EscapeControls(qp::platform::Utf16ToUtf8(fileName)).c_str());
    std::fflush(stderr);
    std::string line;
    bool got;
    {
      qp::platform::terminal::EchoOff quiet;
      got = ReadLine(line);
    }
    std::fputs("\n", stderr);
    // An empty answer or the end of the input is the Cancel button: the item is skipped.
    if (!got || line.empty()) return false;
    password = PasswordFromTerminal(line);
    return true;
  }

 private:
  static TQPDialogResult Unattended(const std::string& message, uint32_t buttons) {
    if (buttons & qbIgnore) {
      std::fprintf(stderr, "%s\n", message.c_str());
      return TQPDialogResult::qrIgnore;
    }
    if (buttons & qbNo) return TQPDialogResult::qrNo;
    if (buttons & qbCancel) return TQPDialogResult::qrCancel;
    return TQPDialogResult::qrNone;
  }
};

}  // namespace

void InstallTerminalQuestions() {
  static TerminalQuestions questions;
  QPSetUserQuestions(&questions);
}
