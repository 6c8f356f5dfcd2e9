// uia: the end-to-end tests' UI-automation helper, a Win32 console program run under wine
// beside the self-extractor. It finds top-level windows by class or caption, reads their
// controls (text, visible, enabled, checked), presses buttons with the mouse messages a
// click sends, answers dialogs by their button captions, and waits for states with a
// timeout, so that a test never hangs. Steps run in the order given:
//
//   timeout=SECONDS          timeout of the waits that follow (default 20)
//   window=NAME              wait for a visible top-level window whose class or caption is
//                            NAME; it becomes the current window
//   dialog=TITLE             the same for a dialog box (class #32770) captioned TITLE
//   print=CONTROL            print "CONTROL|text|visible|enabled|checked" (1 or 0)
//   dump                     print that line for every child of the current window
//   size                     print "size|WIDTH|HEIGHT" of the current window's client area
//   focus                    print "focus|text" of the control that has the keyboard focus
//   default=CONTROL          print "default|CONTROL|1" when the button has the default look
//   key=RETURN|TAB|ESCAPE    press the key on the control that has the focus
//   click=CONTROL            press a button or check box of the current window
//   settext=CONTROL=TEXT     replace a control's text
//   wait=CONTROL.PROP=VALUE  wait until text, visible, enabled or checked has the value
//   gone                     wait until the current window has been destroyed or hidden
//   absent=NAME              wait until no visible top-level window has class or caption
//                            NAME (also when there was none to begin with: a program that
//                            ended between two calls of this helper is not waited for)
//   close                    ask the current window to close (the close box)
//   sleep=MILLISECONDS
//
// CONTROL is a control name of the main window (edPath, glb_extract, ...), "#ID" for a child
// window identifier, or a caption ("&Ja", "OK"). Output is UTF-8, one line per print. Exit
// status 0 when every step succeeded, 1 at the first failing step (reason on stderr).
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/win32/layout.h"

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr UINT kMessageTimeoutMs = 3000;
constexpr DWORD kPollMs = 50;

struct Names {
  const wchar_t* name;
  TControlId id;
};
constexpr Names kControlNames[] = {
    {L"Label1", TControlId::Label1},     {L"Label2", TControlId::Label2},
    {L"GaugeZip", TControlId::GaugeZip}, {L"Label3", TControlId::Label3},
    {L"edPath", TControlId::edPath},     {L"cboverwrite", TControlId::cboverwrite},
    {L"glb_dest", TControlId::glb_dest}, {L"glb_extract", TControlId::glb_extract},
    {L"glb_exit", TControlId::glb_exit},
};

void Write(HANDLE handle, const std::wstring& text) {
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), size, nullptr, nullptr);
  utf8 += '\n';
  DWORD written = 0;
  WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void Out(const std::wstring& text) { Write(GetStdHandle(STD_OUTPUT_HANDLE), text); }

[[noreturn]] void Fail(const std::wstring& text) {
  Write(GetStdHandle(STD_ERROR_HANDLE), L"uia: " + text);
  ExitProcess(1);
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The text through WM_GETTEXT, which other processes' controls answer (GetWindowText does
// not ask them). A window that does not answer in time counts as a failure.
bool TextOf(HWND window, std::wstring& text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length)) return false;
  std::vector<wchar_t> buffer(length + 2);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           kMessageTimeoutMs, &copied))
    return false;
  text.assign(buffer.data(), copied);
  return true;
}

struct Search {
  std::wstring name;
  bool dialogOnly;
  HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window)) return TRUE;
  const std::wstring className = ClassName(window);
  if (search->dialogOnly && className != kDialogClass) return TRUE;
  wchar_t caption[512] = {};
  GetWindowTextW(window, caption, 512);
  if ((!search->dialogOnly && className == search->name) || search->name == caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(const std::wstring& name, bool dialogOnly) {
  Search search{name, dialogOnly, nullptr};
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitTopLevel(const std::wstring& name, bool dialogOnly, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (const HWND found = FindTopLevel(name, dialogOnly)) {
      // Shown is not yet painted: let its program reach its message loop with nothing pending.
      DWORD processId = 0;
      GetWindowThreadProcessId(found, &processId);
      if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId)) {
        const DWORD spent = GetTickCount() - start;
        WaitForInputIdle(process, spent < timeoutMs ? timeoutMs - spent : 0);
        CloseHandle(process);
      }
      return found;
    }
    if (GetTickCount() - start > timeoutMs) Fail(L"no window \"" + name + L"\" within the timeout");
    Sleep(kPollMs);
  }
}

struct ChildSearch {
  std::wstring caption;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<ChildSearch*>(data);
  std::wstring text;
  if (TextOf(window, text) && text == search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The control by name, "#ID" or caption.
HWND FindControl(HWND parent, const std::wstring& control) {
  for (const Names& entry : kControlNames) {
    if (control == entry.name) return GetDlgItem(parent, ControlWindowId(entry.id));
  }
  if (control.size() > 1 && control[0] == L'#') return GetDlgItem(parent, _wtoi(control.c_str() + 1));
  ChildSearch search{control, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND RequireControl(HWND parent, const std::wstring& control) {
  if (parent == nullptr) Fail(L"no current window for \"" + control + L"\"");
  const HWND found = FindControl(parent, control);
  if (found == nullptr) Fail(L"no control \"" + control + L"\"");
  return found;
}

bool IsChecked(HWND control) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &state);
  return state == BST_CHECKED;
}

std::wstring Property(HWND control, const std::wstring& property) {
  if (property == L"text") {
    std::wstring text;
    if (!TextOf(control, text)) Fail(L"a control does not answer");
    return text;
  }
  if (property == L"visible") return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) ? L"1" : L"0";
  if (property == L"enabled") return IsWindowEnabled(control) ? L"1" : L"0";
  if (property == L"checked") return IsChecked(control) ? L"1" : L"0";
  Fail(L"unknown property \"" + property + L"\"");
}

std::wstring Describe(const std::wstring& name, HWND control) {
  return name + L"|" + Property(control, L"text") + L"|" + Property(control, L"visible") + L"|" +
         Property(control, L"enabled") + L"|" + Property(control, L"checked");
}

BOOL CALLBACK DumpChild(HWND window, LPARAM) {
  Out(Describe(ClassName(window) + L"#" + std::to_wstring(GetDlgCtrlID(window)), window));
  return TRUE;
}

// A click as the mouse gives it: button down and up inside the control, posted so that a
// handler that runs for long (the extraction) does not block the helper.
void Click(HWND control) {
  RECT rect;
  GetClientRect(control, &rect);
  const LPARAM centre = MAKELPARAM((rect.right - rect.left) / 2, (rect.bottom - rect.top) / 2);
  if (!PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, centre) || !PostMessageW(control, WM_LBUTTONUP, 0, centre))
    Fail(L"the click could not be posted");
}

// The control with the keyboard focus in the current window's thread, or null.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

// Splits "a=b" at the first '=' (or, for wait, "a.b=c" at the '.' before it).
bool Split(const std::wstring& text, wchar_t separator, std::wstring& left, std::wstring& right) {
  const size_t at = text.find(separator);
  if (at == std::wstring::npos) return false;
  left = text.substr(0, at);
  right = text.substr(at + 1);
  return true;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count < 2) {
    Write(GetStdHandle(STD_ERROR_HANDLE), L"usage: uia STEP ... (see the top of uia.cpp)");
    return 2;
  }
  DWORD timeoutMs = 20000;
  HWND current = nullptr;
  for (int i = 1; i < count; ++i) {
    const std::wstring step = args[i];
    std::wstring verb, value;
    if (!Split(step, L'=', verb, value)) verb = step;
    if (verb == L"timeout") {
      timeoutMs = static_cast<DWORD>(_wtoi(value.c_str())) * 1000;
    } else if (verb == L"window" || verb == L"dialog") {
      current = WaitTopLevel(value, verb == L"dialog", timeoutMs);
    } else if (verb == L"print") {
      Out(Describe(value, RequireControl(current, value)));
    } else if (verb == L"dump") {
      if (current == nullptr) Fail(L"no current window to dump");
      wchar_t caption[512] = {};
      GetWindowTextW(current, caption, 512);
      Out(L"window|" + std::wstring(caption) + L"|" + ClassName(current));
      EnumChildWindows(current, DumpChild, 0);
    } else if (verb == L"size") {
      RECT client{};
      if (current == nullptr || !GetClientRect(current, &client)) Fail(L"no current window to measure");
      Out(L"size|" + std::to_wstring(client.right - client.left) + L"|" + std::to_wstring(client.bottom - client.top));
    } else if (verb == L"focus") {
      const HWND focus = current ? FocusOf(current) : nullptr;
      if (focus == nullptr) Fail(L"nothing has the focus");
      Out(L"focus|" + Property(focus, L"text"));
    } else if (verb == L"default") {
      // Whether the button carries the default-button look (the frame that says Enter presses it).
      const LONG style = GetWindowLongW(RequireControl(current, value), GWL_STYLE);
      Out(L"default|" + value + L"|" + ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? L"1" : L"0"));
    } else if (verb == L"key") {
      const UINT key = value == L"RETURN" ? VK_RETURN : value == L"TAB" ? VK_TAB : value == L"ESCAPE" ? VK_ESCAPE : 0;
      const HWND focus = current ? FocusOf(current) : nullptr;
      if (key == 0 || focus == nullptr) Fail(L"no key \"" + value + L"\" or nothing has the focus");
      PostMessageW(focus, WM_KEYDOWN, key, 1);
      PostMessageW(focus, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    } else if (verb == L"click") {
      Click(RequireControl(current, value));
    } else if (verb == L"settext") {
      std::wstring control, text;
      if (!Split(value, L'=', control, text)) Fail(L"settext needs CONTROL=TEXT");
      DWORD_PTR ignored = 0;
      if (!SendMessageTimeoutW(RequireControl(current, control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                               SMTO_ABORTIFHUNG, kMessageTimeoutMs, &ignored))
        Fail(L"the text of \"" + control + L"\" could not be set");
    } else if (verb == L"wait") {
      std::wstring target, expected, control, property;
      if (!Split(value, L'=', target, expected) || !Split(target, L'.', control, property))
        Fail(L"wait needs CONTROL.PROPERTY=VALUE");
      const HWND handle = RequireControl(current, control);
      const DWORD start = GetTickCount();
      while (Property(handle, property) != expected) {
        if (GetTickCount() - start > timeoutMs)
          Fail(control + L"." + property + L" is \"" + Property(handle, property) + L"\", not \"" + expected + L"\"");
        Sleep(kPollMs);
      }
    } else if (verb == L"gone") {
      const DWORD start = GetTickCount();
      while (current != nullptr && IsWindow(current) && IsWindowVisible(current)) {
        if (GetTickCount() - start > timeoutMs) Fail(L"the window is still there");
        Sleep(kPollMs);
      }
      current = nullptr;
    } else if (verb == L"absent") {
      const DWORD start = GetTickCount();
      while (FindTopLevel(value, false) != nullptr) {
        if (GetTickCount() - start > timeoutMs) Fail(L"the window \"" + value + L"\" is still there");
        Sleep(kPollMs);
      }
      current = nullptr;
    } else if (verb == L"close") {
      if (current == nullptr || !PostMessageW(current, WM_CLOSE, 0, 0)) Fail(L"nothing to close");
    } else if (verb == L"sleep") {
      Sleep(static_cast<DWORD>(_wtoi(value.c_str())));
    } else {
      Fail(L"unknown step \"" + step + L"\"");
    }
  }
  LocalFree(args);
  return 0;
}
