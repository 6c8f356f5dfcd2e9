// TMainWindow: the self-extractor's one window on Win32 and the toolkit the window logic
// drives (IToolkit). It creates the window and its controls from the layout, scaled to the
// monitor's resolution, routes clicks and the close box to the window logic through the
// application object, and runs the message loop.
#pragma once

#include <windows.h>

#include <array>

#include "app/application.h"
#include "app/toolkit.h"
#include "app/win32/layout.h"
#include "app/win32/win32_control.h"

class TMainWindow : public IToolkit {
 public:
  // Creates the window and its controls, hidden and centred on the primary screen.
  explicit TMainWindow(HINSTANCE instance);
  ~TMainWindow() override;
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;

  HWND Handle() const { return window_; }
  // Connects the window logic; set before Show.
  void Connect(TApplication& application, TForm1& form);
  // Shows the window and runs FormShow.
  void Show();
  // Runs the message loop until Terminate is honoured; returns the exit code.
  int Run();

  // IToolkit
  IControl& Control(TControlId id) override;
  void ProcessMessages() override;
  void ShowErrorBox(const std::u16string& text) override;
  bool BrowseForFolder(const std::u16string& prompt, std::u16string& folder) override;
  void ShellOpen(const std::u16string& path) override;
  void CloseWindow() override;
  void Terminate() override;
  std::u16string ProgramPath() override;
  std::u16string TempFolderQuery() override;
  std::u16string LowerCase(const std::u16string& text) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  // Dispatches one message the way a dialog would (Tab, Enter, access keys).
  void Dispatch(MSG& message);
  // Gives the default-button look to the push button that Enter presses now: the focused one
  // when a push button has the focus, else the window's default button (DM_SETDEFID).
  void ShowDefaultButton(HWND focus);
  // Fonts, control places and the window's size for the resolution `dpi`.
  void ApplyLayout(UINT dpi);
  int Scale(int pixels) const { return MulDiv(pixels, static_cast<int>(dpi_), 96); }
  void ReleaseFonts();
  HFONT FontFor(TFontKind kind) const;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  UINT dpi_ = 96;
  HFONT normalFont_ = nullptr;
  HFONT boldFont_ = nullptr;
  HFONT smallFont_ = nullptr;
  std::array<TWin32Control, std::size(kLayout)> controls_;
  TApplication* application_ = nullptr;
  TForm1* form_ = nullptr;
  bool terminated_ = false;
  HWND lastFocus_ = nullptr;
  HWND focusSeen_ = nullptr;  // the focus that ShowDefaultButton last answered
  int defaultId_ = 0;         // the window's default button, set through DM_SETDEFID
  bool pumpedOnce_ = false;
  DWORD lastPump_ = 0;  // tick count of the last ProcessMessages that looked into the queue
};
