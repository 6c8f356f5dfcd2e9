// One control of the main window as the window logic sees it (IControl), on its child window.
// Labels size themselves to their text, as the toolkit's labels do, up to the window's edge.
//
// A label set again within one screen frame of its last change keeps the new text pending
// until the window's frame timer applies it: a run of thousands of small items a second would
// otherwise pay a text change, a resize and a paint (each a round trip to the window system)
// for names nobody can read at that pace. Text() answers the pending text at once.
#pragma once

#include <windows.h>

#include <string>

#include "app/toolkit.h"
#include "app/win32/layout.h"

// The timer, on the main window, that applies pending label texts; and a screen frame.
inline constexpr UINT_PTR kLabelFrameTimer = 1;
inline constexpr DWORD kFrameMilliseconds = 16;

class TWin32Control : public IControl {
 public:
  TWin32Control() = default;
  void Attach(HWND window, TControlKind kind) {
    window_ = window;
    kind_ = kind;
  }
  HWND Window() const { return window_; }
  // The widest a label may grow, in pixels; set by the window's layout.
  void SetMaxWidth(int width) { maxWidth_ = width; }
  // Fits a label to its text; nothing for other kinds.
  void FitToText();
  // Applies a text held back within a frame (on the frame timer).
  void ApplyPendingText();

  std::u16string Text() const override;
  void SetText(const std::u16string& text) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;
  bool Checked() const override;
  void SetChecked(bool checked) override;
  int Position() const override;
  void SetPosition(int position) override;
  void SetFocus() override;

 private:
  void ApplyText(const std::u16string& text);

  HWND window_ = nullptr;
  TControlKind kind_ = TControlKind::Label;
  int maxWidth_ = 0;
  std::u16string pendingText_;
  bool hasPendingText_ = false;
  bool changedOnce_ = false;
  DWORD changedAt_ = 0;  // tick count of the last change shown
};
