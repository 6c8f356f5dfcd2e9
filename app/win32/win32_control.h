// One control of the main window as the window logic sees it (IControl), on its child window.
// Labels size themselves to their text, as the toolkit's labels do, up to the window's edge.
#pragma once

#include <windows.h>

#include <string>

#include "app/toolkit.h"
#include "app/win32/layout.h"

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
  HWND window_ = nullptr;
  TControlKind kind_ = TControlKind::Label;
  int maxWidth_ = 0;
};
