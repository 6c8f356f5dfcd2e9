// The engine's password dialog: a small modal dialog built from an in-memory template in
// dialog units of the window's font (Arial), centred on the screen. "OK" hands back the
// typed password in the ANSI code page; any other way of closing skips the item.
#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/message_dialogs.h"

namespace {

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr int kPasswordEdit = 10;
constexpr int kMaxPasswordLength = 255;
// Arial at 10 points is the window's 13-pixel Arial at 96 dots per inch.
constexpr WORD kFontPoints = 10;

// Builds a DLGTEMPLATE with its items in a WORD buffer, as the dialog manager reads it.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short width, short height, const std::wstring& title) {
    PutDword(style);
    PutDword(0);
    countAt_ = words_.size();
    words_.push_back(0);
    for (short value : {short{0}, short{0}, width, height}) words_.push_back(static_cast<WORD>(value));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    PutString(title);
    words_.push_back(kFontPoints);
    PutString(L"Arial");
  }

  void Add(WORD windowClass, DWORD style, short x, short y, short width, short height, int id,
           const std::wstring& text) {
    if (words_.size() % 2 != 0) words_.push_back(0);  // items start on a DWORD boundary
    PutDword(style | WS_CHILD | WS_VISIBLE);
    PutDword(0);
    for (short value : {x, y, width, height}) words_.push_back(static_cast<WORD>(value));
    words_.push_back(static_cast<WORD>(id));
    words_.push_back(0xFFFF);
    words_.push_back(windowClass);
    PutString(text);
    words_.push_back(0);  // no creation data
    ++words_[countAt_];
  }

  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void PutDword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void PutString(const std::wstring& text) {
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
  }

  // std::vector<WORD> is allocated with at least the alignment of a DWORD.
  std::vector<WORD> words_;
  size_t countAt_ = 0;
};

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      const HWND edit = GetDlgItem(dialog, kPasswordEdit);
      SendMessageW(edit, EM_LIMITTEXT, kMaxPasswordLength, 0);
      SendMessageW(edit, EM_SETPASSWORDCHAR, L'*', 0);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* typed = reinterpret_cast<std::wstring*>(GetWindowLongPtrW(dialog, DWLP_USER));
        const HWND edit = GetDlgItem(dialog, kPasswordEdit);
        std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1);
        GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
        typed->assign(buffer.data());
        SecureZeroMemory(buffer.data(), buffer.size() * sizeof(wchar_t));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}

}  // namespace

bool TWin32Questions::PasswordDialog(const std::u16string& fileName, std::string& password) {
  const std::wstring name(fileName.begin(), fileName.end());
  DialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 180, 63,
                        L"Password for \"" + name + L"\"");
  dialog.Add(kStaticClass, SS_LEFT | SS_NOPREFIX, 8, 8, 164, 10, -1, L"Enter password: ");
  dialog.Add(kEditClass, ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 8, 19, 164, 12, kPasswordEdit, L"");
  dialog.Add(kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, 38, 41, 50, 14, IDOK, L"OK");
  dialog.Add(kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, 92, 41, 50, 14, IDCANCEL, L"Cancel");
  std::wstring typed;
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner_,
                                                 PasswordProc, reinterpret_cast<LPARAM>(&typed));
  if (result != IDOK) return false;
  password = ToAnsi(typed);
  SecureZeroMemory(typed.data(), typed.size() * sizeof(wchar_t));
  return true;
}
