// The engine's questions on Windows: its modal message dialogs, titled and buttoned in German
// through a task dialog with custom buttons (the plain message box would caption its buttons
// in the system's language), and its password dialog.
#pragma once

#include <windows.h>

#include "archive/component/user_questions.h"

class TWin32Questions : public IQPUserQuestions {
 public:
  // The window the dialogs are modal to; none until set.
  void SetOwner(HWND owner) { owner_ = owner; }

  TQPDialogResult MessageDialog(TQPDialogKind kind, const std::u16string& text, uint32_t buttons) override;
  bool PasswordDialog(const std::u16string& fileName, std::string& password) override;

 private:
  HWND owner_ = nullptr;
};
