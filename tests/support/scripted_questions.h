// A scripted stand-in for the user: records every question the engine asks and gives the
// prepared answers in order (qrNone once they run out; passwords: skip).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "archive/component/user_questions.h"

class ScriptedQuestions : public IQPUserQuestions {
 public:
  struct Asked {
    TQPDialogKind kind;
    std::u16string text;
    uint32_t buttons;
  };

  // Installs itself on construction and removes itself on destruction.
  ScriptedQuestions() { QPSetUserQuestions(this); }
  ~ScriptedQuestions() override { QPSetUserQuestions(nullptr); }

  TQPDialogResult MessageDialog(TQPDialogKind kind, const std::u16string& text, uint32_t buttons) override {
    asked.push_back({kind, text, buttons});
    if (answers.empty()) return TQPDialogResult::qrNone;
    TQPDialogResult answer = answers.front();
    answers.pop_front();
    return answer;
  }

  bool PasswordDialog(const std::u16string& fileName, std::string& password) override {
    passwordAsked.push_back(fileName);
    if (passwords.empty()) return false;
    password = passwords.front();
    passwords.pop_front();
    return true;
  }

  std::deque<TQPDialogResult> answers;
  std::deque<std::string> passwords;
  std::vector<Asked> asked;
  std::vector<std::u16string> passwordAsked;
};
