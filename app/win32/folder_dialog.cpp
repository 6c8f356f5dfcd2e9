// SHBrowseForFolderW with its initialisation callback, the disabled windows and the
// suppressed critical-error boxes around it.
#include "app/win32/folder_dialog.h"

#include "app/win32/centre_window.h"

#include <shlobj.h>

#include <vector>

namespace {

// Centres the dialog on the monitor nearest to the owner when it has been created.
int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  const HWND owner = reinterpret_cast<HWND>(data);
  CentreOnMonitor(dialog, MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST));
  return 0;
}

// Disables the thread's other enabled top-level windows for the lifetime of the object and
// enables them again afterwards; the dialog's owner is disabled by the dialog itself.
class OtherWindowsDisabled {
 public:
  explicit OtherWindowsDisabled(HWND owner) : owner_(owner) {
    EnumThreadWindows(GetCurrentThreadId(), Disable, reinterpret_cast<LPARAM>(this));
  }
  ~OtherWindowsDisabled() {
    for (HWND window : disabled_) EnableWindow(window, TRUE);
  }
  OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
  OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK Disable(HWND window, LPARAM self) {
    auto* that = reinterpret_cast<OtherWindowsDisabled*>(self);
    if (window != that->owner_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
      EnableWindow(window, FALSE);
      that->disabled_.push_back(window);
    }
    return TRUE;
  }

  HWND owner_;
  std::vector<HWND> disabled_;
};

class CriticalErrorsSuppressed {
 public:
  CriticalErrorsSuppressed() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~CriticalErrorsSuppressed() { SetErrorMode(previous_); }
  CriticalErrorsSuppressed(const CriticalErrorsSuppressed&) = delete;
  CriticalErrorsSuppressed& operator=(const CriticalErrorsSuppressed&) = delete;

 private:
  UINT previous_;
};

}  // namespace

bool BrowseForFolder(HWND owner, const std::u16string& prompt, std::u16string& folder) {
  wchar_t displayName[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName;
  info.lpszTitle = reinterpret_cast<const wchar_t*>(prompt.c_str());
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(owner);

  PIDLIST_ABSOLUTE chosen;
  {
    OtherWindowsDisabled disabled(owner);
    CriticalErrorsSuppressed quiet;
    chosen = SHBrowseForFolderW(&info);
  }
  if (chosen == nullptr) return false;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (!ok) return false;
  folder.assign(reinterpret_cast<const char16_t*>(path));
  return true;
}
