// The engine's questions to the user. When an event has no handler, the component's
// dispatchers ask through the one implementation the application installs (a window's
// modal dialogs, a terminal prompt, a test script). With none installed the engine never
// blocks: it answers as a user who is not there would.
#pragma once

#include <cstdint>
#include <string>

enum class TQPDialogKind { Confirmation, Warning, Error, Information };

// Buttons offered, combined as flags.
enum TQPDialogButton : uint32_t {
  qbYes = 1u << 0,
  qbNo = 1u << 1,
  qbOK = 1u << 2,
  qbCancel = 1u << 3,
  qbAbort = 1u << 4,
  qbRetry = 1u << 5,
  qbIgnore = 1u << 6,
  qbNoToAll = 1u << 7,
  qbYesToAll = 1u << 8,
};

// The answer: the button chosen, or qrNone when the dialog was closed another way.
enum class TQPDialogResult { qrNone, qrYes, qrNo, qrOK, qrCancel, qrAbort, qrRetry, qrIgnore, qrNoToAll, qrYesToAll };

class IQPUserQuestions {
 public:
  virtual ~IQPUserQuestions() = default;
  // A modal message dialog with the given text and buttons.
  virtual TQPDialogResult MessageDialog(TQPDialogKind kind, const std::u16string& text, uint32_t buttons) = 0;
  // The password dialog for an encrypted item: true with `password` set when the user gave
  // one, false when the user chose to skip the item.
  virtual bool PasswordDialog(const std::u16string& fileName, std::string& password) = 0;
};

// Installs the implementation the dispatchers ask (nullptr: nobody is there). Not owned.
void QPSetUserQuestions(IQPUserQuestions* questions);
IQPUserQuestions* QPUserQuestions();
