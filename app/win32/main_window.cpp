// The main window on Win32: creation from the layout, scaling to the monitor's resolution,
// the colours of its labels, the routing of clicks to the window logic, the message loop,
// and the toolkit services the logic asks for (error box, folder dialog, shell, paths).
#include "app/win32/main_window.h"

#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "app/display_path.h"
#include "app/win32/centre_window.h"
#include "app/win32/folder_dialog.h"
#include "app/win32/gauge.h"
#include "app/win32/system_library.h"
#include "platform/platform.h"

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
// The window's caption is the application's title, which also names its task-bar entry.
const wchar_t* Caption() { return reinterpret_cast<const wchar_t*>(kApplicationTitle); }
constexpr int kLabelMargin = 8;

using GetDpiForWindowFunction = UINT WINAPI(HWND);
using AdjustWindowRectExForDpiFunction = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT);

const wchar_t* ClassOf(TControlKind kind) {
  switch (kind) {
    case TControlKind::Label: return L"STATIC";
    case TControlKind::Gauge: return kGaugeClass;
    case TControlKind::Edit: return L"EDIT";
    case TControlKind::CheckBox:
    case TControlKind::Button: break;
  }
  return L"BUTTON";
}

DWORD StyleOf(const TControlLayout& layout) {
  DWORD style = WS_CHILD | (layout.visible ? WS_VISIBLE : 0);
  switch (layout.kind) {
    case TControlKind::Label:
      // The current item's name is shown as it is: an ampersand in it is no access key.
      return style | SS_LEFT | (layout.id == TControlId::Label3 ? SS_NOPREFIX : 0);
    case TControlKind::Gauge: return style;
    case TControlKind::Edit: return style | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
    case TControlKind::CheckBox: return style | WS_TABSTOP | BS_AUTOCHECKBOX | BS_MULTILINE;
    case TControlKind::Button:
      return style | WS_TABSTOP | (layout.id == TControlId::glb_extract ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  }
  return style;
}

HFONT MakeArial(int height, int weight) {
  return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
}

UINT DpiOf(HWND window) {
  static auto* const forWindow = SystemFunctionAs<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
  if (forWindow != nullptr) {
    const UINT dpi = forWindow(window);
    if (dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE WindowSizeFor(int clientWidth, int clientHeight, UINT dpi) {
  static auto* const adjust =
      SystemFunctionAs<AdjustWindowRectExForDpiFunction>(L"user32.dll", "AdjustWindowRectExForDpi");
  RECT rect{0, 0, clientWidth, clientHeight};
  if (adjust == nullptr || !adjust(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi))
    AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

TMainWindow* WindowObject(HWND window) {
  return reinterpret_cast<TMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

TMainWindow::TMainWindow(HINSTANCE instance) : instance_(instance) {
  for (size_t i = 0; i < std::size(kLayout); ++i) {
    if (static_cast<size_t>(kLayout[i].id) != i) std::abort();  // the layout is indexed by TControlId
  }
  RegisterGaugeClass(instance);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kMainWindowClass;
  windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  RegisterClassExW(&windowClass);

  // Made on the primary screen, so that it takes that monitor's resolution from the start.
  window_ = CreateWindowExW(kWindowExStyle, kMainWindowClass, Caption(), kWindowStyle, 0, 0, kClientWidth,
                            kClientHeight, nullptr, nullptr, instance, this);
  for (const TControlLayout& layout : kLayout) {
    const HWND control = CreateWindowExW(0, ClassOf(layout.kind), layout.caption, StyleOf(layout), layout.left,
                                         layout.top, layout.width, layout.height, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlWindowId(layout.id))),
                                         instance, nullptr);
    controls_[static_cast<size_t>(layout.id)].Attach(control, layout.kind);
  }
  Control(TControlId::GaugeZip).SetPosition(50);
  SendMessageW(window_, DM_SETDEFID, ControlWindowId(TControlId::glb_extract), 0);

  ApplyLayout(DpiOf(window_));
  CentreOnMonitor(window_, MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
}

TMainWindow::~TMainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
  ReleaseFonts();
}

void TMainWindow::Connect(TApplication& application, TForm1& form) {
  application_ = &application;
  form_ = &form;
}

void TMainWindow::Show() {
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  SetForegroundWindow(window_);
  application_->HandleEvent([this] { form_->FormShow(form_); });
}

int TMainWindow::Run() {
  MSG message;
  while (!terminated_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    Dispatch(message);
  }
  return 0;
}

void TMainWindow::Dispatch(MSG& message) {
  if (!IsDialogMessageW(window_, &message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // The dialog manager takes the default look from every other button when Tab moves the
  // focus, but in a window that is not a dialog nothing gives it back when the focus lands
  // on the edit box or the check box; a click moves the focus without it altogether.
  const HWND focus = GetFocus();
  if (focus != focusSeen_) ShowDefaultButton(focus);
}

void TMainWindow::ShowDefaultButton(HWND focus) {
  focusSeen_ = focus;
  const auto isPushButton = [](HWND control) {
    return control != nullptr &&
           (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
  };
  const bool focusOnPushButton = IsChild(window_, focus) && isPushButton(focus);
  const HWND standing = GetDlgItem(window_, defaultId_);
  for (TWin32Control& control : controls_) {
    const HWND button = control.Window();
    if (!isPushButton(button)) continue;
    const bool wanted = focusOnPushButton ? button == focus : button == standing;
    const bool shown = (SendMessageW(button, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0;
    if (wanted != shown) SendMessageW(button, BM_SETSTYLE, wanted ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}

void TMainWindow::ApplyLayout(UINT dpi) {
  dpi_ = dpi;
  ReleaseFonts();
  normalFont_ = MakeArial(Scale(kFontHeight), FW_NORMAL);
  boldFont_ = MakeArial(Scale(kFontHeight), FW_BOLD);
  smallFont_ = MakeArial(Scale(kSmallFontHeight), FW_NORMAL);
  for (const TControlLayout& layout : kLayout) {
    TWin32Control& control = controls_[static_cast<size_t>(layout.id)];
    SetWindowPos(control.Window(), nullptr, Scale(layout.left), Scale(layout.top), Scale(layout.width),
                 Scale(layout.height), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(layout.font)), TRUE);
    if (layout.kind == TControlKind::Label) {
      control.SetMaxWidth(Scale(kClientWidth - layout.left - kLabelMargin));
      control.FitToText();
    }
  }
  const SIZE size = WindowSizeFor(Scale(kClientWidth), Scale(kClientHeight), dpi);
  SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT TMainWindow::FontFor(TFontKind kind) const {
  switch (kind) {
    case TFontKind::Bold: return boldFont_;
    case TFontKind::Small: return smallFont_;
    case TFontKind::Normal: break;
  }
  return normalFont_;
}

void TMainWindow::ReleaseFonts() {
  for (HFONT* font : {&normalFont_, &boldFont_, &smallFont_}) {
    if (*font != nullptr) DeleteObject(*font);
    *font = nullptr;
  }
}

LRESULT CALLBACK TMainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TMainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  TMainWindow* self = WindowObject(window);
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT TMainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      // Labels and the check box on the window's colour; the version label in its green.
      const HDC dc = reinterpret_cast<HDC>(wParam);
      const HWND control = reinterpret_cast<HWND>(lParam);
      const bool version = control == controls_[static_cast<size_t>(TControlId::Label2)].Window();
      SetTextColor(dc, version ? kVersionColour : GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case DM_GETDEFID: {
      // Enter presses the default button (the extract button) while it is there to press.
      const HWND standing = GetDlgItem(window_, defaultId_);
      if (standing != nullptr && IsWindowVisible(standing) && IsWindowEnabled(standing))
        return MAKELRESULT(defaultId_, DC_HASDEFID);
      return 0;
    }
    case DM_SETDEFID:
      defaultId_ = static_cast<int>(wParam);
      ShowDefaultButton(GetFocus());
      return TRUE;
    case WM_ACTIVATE:
      // Keep the focus on the control that had it when the window comes back.
      if (LOWORD(wParam) == WA_INACTIVE) {
        lastFocus_ = GetFocus();
      } else if (lastFocus_ != nullptr && IsChild(window_, lastFocus_)) {
        SetFocus(lastFocus_);
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      ApplyLayout(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_TIMER:
      if (wParam != kLabelFrameTimer) break;
      KillTimer(window_, kLabelFrameTimer);
      for (TWin32Control& control : controls_) control.ApplyPendingText();
      return 0;
    case WM_CLOSE:
      // The close box does what the exit button does.
      if (form_ != nullptr) application_->HandleEvent([this] { form_->bnExitClick(form_); });
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void TMainWindow::OnCommand(int id, int code) {
  if (form_ == nullptr || code != BN_CLICKED) return;
  if (id == ControlWindowId(TControlId::glb_extract)) {
    application_->HandleEvent([this] { form_->bnExtractClick(form_); });
  } else if (id == ControlWindowId(TControlId::glb_exit)) {
    application_->HandleEvent([this] { form_->bnExitClick(form_); });
  } else if (id == ControlWindowId(TControlId::glb_dest)) {
    application_->HandleEvent([this] { form_->bnSelectDestPathClick(form_); });
  }
}

IControl& TMainWindow::Control(TControlId id) { return controls_[static_cast<size_t>(id)]; }

void TMainWindow::ProcessMessages() {
  // Looking into the queue costs a round trip to the window system even when it is empty; at
  // thousands of progress reports a second, once per screen frame is as often as anyone can
  // see a change or click. What arrives meanwhile waits at most a frame.
  const DWORD now = GetTickCount();
  if (pumpedOnce_ && now - lastPump_ < kFrameMilliseconds) return;
  pumpedOnce_ = true;
  lastPump_ = now;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // The end is only noted here: the handler that pumps runs to its own end first.
    if (message.message == WM_QUIT) {
      terminated_ = true;
      continue;
    }
    Dispatch(message);
  }
}

void TMainWindow::ShowErrorBox(const std::u16string& text) {
  const std::u16string shown = ShortenLongWords(text);
  MessageBoxW(window_, reinterpret_cast<const wchar_t*>(shown.c_str()), Caption(), MB_OK | MB_ICONERROR);
}

bool TMainWindow::BrowseForFolder(const std::u16string& prompt, std::u16string& folder) {
  return ::BrowseForFolder(window_, prompt, folder);
}

void TMainWindow::ShellOpen(const std::u16string& path) {
  ShellExecuteW(window_, nullptr, reinterpret_cast<const wchar_t*>(path.c_str()), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMainWindow::CloseWindow() {
  // The window stays on screen until the message loop returns; Run's caller destroys it.
}

void TMainWindow::Terminate() { PostQuitMessage(0); }

std::u16string TMainWindow::ProgramPath() { return qp::platform::ExecutablePath(); }

std::u16string TMainWindow::TempFolderQuery() {
  // The wide query: the ANSI one gives a best-fit look-alike of a folder whose name the code
  // page cannot spell (a folder that does not exist), and stops at 255 characters.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    // Zero is a failure; a length not below the buffer's is the size the path would need.
    if (length == 0) return std::u16string();
    if (length < buffer.size()) return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
    buffer.resize(length + 1);
  }
  return std::u16string();
}

std::u16string TMainWindow::LowerCase(const std::u16string& text) {
  std::u16string lower = text;
  if (!lower.empty()) CharLowerBuffW(reinterpret_cast<wchar_t*>(lower.data()), static_cast<DWORD>(lower.size()));
  return lower;
}
