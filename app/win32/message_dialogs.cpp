// Message dialogs through TaskDialogIndirect (common controls 6, loaded from the system
// folder): the German title of the dialog's kind, the English text, one custom button per
// offered answer in the toolkit's order with its German caption and access key.
#include "app/win32/message_dialogs.h"

#include <commctrl.h>

#include <iterator>
#include <vector>

#include "app/display_path.h"
#include "app/win32/system_library.h"

namespace {

struct ButtonCaption {
  TQPDialogButton button;
  TQPDialogResult result;
  const wchar_t* caption;
};

// In the order the toolkit lays its buttons out.
constexpr ButtonCaption kButtons[] = {
    {qbYes, TQPDialogResult::qrYes, L"&Ja"},
    {qbNo, TQPDialogResult::qrNo, L"&Nein"},
    {qbOK, TQPDialogResult::qrOK, L"OK"},
    {qbCancel, TQPDialogResult::qrCancel, L"Abbrechen"},
    {qbAbort, TQPDialogResult::qrAbort, L"&Abbrechen"},
    {qbRetry, TQPDialogResult::qrRetry, L"&Wiederholen"},
    {qbIgnore, TQPDialogResult::qrIgnore, L"&Ignorieren"},
    {qbNoToAll, TQPDialogResult::qrNoToAll, L"&Alle Nein"},
    {qbYesToAll, TQPDialogResult::qrYesToAll, L"A&lle Ja"},
};
// Custom button identifiers start above the common ones (IDOK .. IDCONTINUE).
constexpr int kFirstButtonId = 100;

const wchar_t* TitleOf(TQPDialogKind kind) {
  switch (kind) {
    case TQPDialogKind::Warning: return L"Warnung";
    case TQPDialogKind::Error: return L"Fehler";
    case TQPDialogKind::Information: return L"Informationen";
    case TQPDialogKind::Confirmation: break;
  }
  return L"Best\u00E4tigen";
}

LPCWSTR IconOf(TQPDialogKind kind) {
  switch (kind) {
    case TQPDialogKind::Warning: return IDI_WARNING;
    case TQPDialogKind::Error: return IDI_ERROR;
    case TQPDialogKind::Information: return IDI_INFORMATION;
    case TQPDialogKind::Confirmation: break;
  }
  return IDI_QUESTION;
}

// The default button: OK, else Yes, else Retry, else the first one offered.
int DefaultButtonId(uint32_t buttons) {
  for (TQPDialogButton preferred : {qbOK, qbYes, qbRetry}) {
    for (size_t i = 0; i < std::size(kButtons); ++i) {
      if (kButtons[i].button == preferred && (buttons & preferred) != 0) return kFirstButtonId + static_cast<int>(i);
    }
  }
  return 0;
}

using TaskDialogIndirectFunction = HRESULT WINAPI(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

}  // namespace

TQPDialogResult TWin32Questions::MessageDialog(TQPDialogKind kind, const std::u16string& text, uint32_t buttons) {
  static auto* const taskDialog = SystemFunctionAs<TaskDialogIndirectFunction>(L"comctl32.dll", "TaskDialogIndirect");
  std::vector<TASKDIALOG_BUTTON> offered;
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    if ((buttons & kButtons[i].button) != 0)
      offered.push_back({kFirstButtonId + static_cast<int>(i), kButtons[i].caption});
  }
  if (taskDialog == nullptr || offered.empty()) return TQPDialogResult::qrNone;

  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner_;
  // Escape and the close box count as closing the dialog without an answer.
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_HICON_MAIN;
  config.pszWindowTitle = TitleOf(kind);
  config.hMainIcon = LoadIconW(nullptr, IconOf(kind));
  const std::u16string shown = ShortenLongWords(text);
  config.pszContent = reinterpret_cast<const wchar_t*>(shown.c_str());
  config.cButtons = static_cast<UINT>(offered.size());
  config.pButtons = offered.data();
  config.nDefaultButton = DefaultButtonId(buttons);
  int pressed = 0;
  if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr))) return TQPDialogResult::qrNone;
  const int index = pressed - kFirstButtonId;
  if (index < 0 || index >= static_cast<int>(std::size(kButtons))) return TQPDialogResult::qrNone;
  return kButtons[index].result;
}
