// TApplication: the self-extractor's application object. It owns the one window's logic,
// runs every handler the front-end dispatches and turns an exception that leaves a handler
// into the application's error box, after which the message loop simply continues.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "app/toolkit.h"
#include "app/uMain.h"

// Captions the error box and the task-bar entry.
inline constexpr char16_t kApplicationTitle[] = u"Self-Extractor STUB";

class TApplication {
 public:
  // `toolkit` must outlive the application; it stands for the window's controls already made.
  explicit TApplication(IToolkit& toolkit);
  ~TApplication();

  // Creates the main window's logic (and with it Archiver) and runs FormCreate through
  // HandleEvent. Called once.
  TForm1& CreateForm();
  TForm1* MainForm() { return form_.get(); }

  // Runs one handler. An exception leaving it is shown in the error box (ShowException) and
  // does not propagate. Handlers may nest (a click dispatched from the progress handler's
  // message pump).
  void HandleEvent(const std::function<void()>& handler);
  // The error box for an exception: its message with the full-stop rule applied.
  void ShowException(std::exception_ptr error);

 private:
  IToolkit& toolkit_;
  std::unique_ptr<TForm1> form_;
};

// The message of an exception as the error box shows it, before the full-stop rule.
std::u16string ExceptionMessage(std::exception_ptr error);
// Appends "." when the last character's code is above that of ".": a message ending in a
// letter or digit (the engine's end in a five-digit native error) gets one; one ending in
// ".", "!", ")" or a quote does not.
std::u16string WithFullStop(std::u16string message);
