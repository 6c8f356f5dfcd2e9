// IControl on a child window: text, visibility, enabled state, check state, gauge position
// and focus through the window's own messages.
#include "app/win32/win32_control.h"

#include <vector>

#include "app/win32/gauge.h"

std::u16string TWin32Control::Text() const {
  if (hasPendingText_) return pendingText_;
  const int length = GetWindowTextLengthW(window_);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int copied = GetWindowTextW(window_, buffer.data(), length + 1);
  return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<size_t>(copied));
}

void TWin32Control::SetText(const std::u16string& text) {
  if (kind_ == TControlKind::Label && changedOnce_ && GetTickCount() - changedAt_ < kFrameMilliseconds) {
    // The timer is armed with the first text held back; setting it again would postpone it.
    if (!hasPendingText_) SetTimer(GetParent(window_), kLabelFrameTimer, kFrameMilliseconds, nullptr);
    pendingText_ = text;
    hasPendingText_ = true;
    return;
  }
  ApplyText(text);
}

void TWin32Control::ApplyPendingText() {
  if (hasPendingText_) ApplyText(pendingText_);
}

void TWin32Control::ApplyText(const std::u16string& text) {
  hasPendingText_ = false;
  changedOnce_ = true;
  changedAt_ = GetTickCount();
  SetWindowTextW(window_, reinterpret_cast<const wchar_t*>(text.c_str()));
  FitToText();
}

void TWin32Control::FitToText() {
  if (kind_ != TControlKind::Label || maxWidth_ <= 0) return;
  HDC dc = GetDC(window_);
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
  const std::u16string text = Text();
  SIZE extent{};
  GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  RECT rect;
  GetWindowRect(window_, &rect);
  const int width = extent.cx + 2 < maxWidth_ ? extent.cx + 2 : maxWidth_;
  SetWindowPos(window_, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(window_, nullptr, TRUE);
}

bool TWin32Control::Visible() const { return (GetWindowLongW(window_, GWL_STYLE) & WS_VISIBLE) != 0; }

void TWin32Control::SetVisible(bool visible) { ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE); }

bool TWin32Control::Enabled() const { return IsWindowEnabled(window_) != FALSE; }

void TWin32Control::SetEnabled(bool enabled) { EnableWindow(window_, enabled ? TRUE : FALSE); }

bool TWin32Control::Checked() const {
  return kind_ == TControlKind::CheckBox && SendMessageW(window_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TWin32Control::SetChecked(bool checked) {
  if (kind_ == TControlKind::CheckBox) SendMessageW(window_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TWin32Control::Position() const {
  return kind_ == TControlKind::Gauge ? static_cast<int>(SendMessageW(window_, kGaugeGetPosition, 0, 0)) : 0;
}

void TWin32Control::SetPosition(int position) {
  if (kind_ == TControlKind::Gauge) SendMessageW(window_, kGaugeSetPosition, static_cast<WPARAM>(position), 0);
}

void TWin32Control::SetFocus() { ::SetFocus(window_); }
