// The gauge window: its position, its painting (bar, background and the percentage in both
// colours), and the text it answers with.
#include "app/win32/gauge.h"

namespace {

struct GaugeState {
  int position = 0;
  HFONT font = nullptr;
};

GaugeState* StateOf(HWND window) {
  return reinterpret_cast<GaugeState*>(GetWindowLongPtrW(window, 0));
}

void SetPosition(HWND window, GaugeState& state, int position) {
  if (position < 0) position = 0;
  if (position > 100) position = 100;
  if (position == state.position) return;
  state.position = position;
  wchar_t text[8];
  wsprintfW(text, L"%d%%", position);
  SetWindowTextW(window, text);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
}

// The percentage is drawn twice, each time clipped to one side of the bar's edge, so it stays
// readable where it crosses the bar.
void Paint(HWND window, const GaugeState& state, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  RECT bar = client;
  bar.right = client.left + MulDiv(client.right - client.left, state.position, 100);
  RECT rest = client;
  rest.left = bar.right;
  FillRect(dc, &bar, GetSysColorBrush(COLOR_ACTIVECAPTION));
  FillRect(dc, &rest, GetSysColorBrush(COLOR_MENU));

  wchar_t text[8];
  wsprintfW(text, L"%d%%", state.position);
  const HGDIOBJ oldFont = SelectObject(dc, state.font ? state.font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  const struct { RECT clip; int colour; } parts[] = {{bar, COLOR_CAPTIONTEXT}, {rest, COLOR_MENUTEXT}};
  for (const auto& part : parts) {
    if (part.clip.right <= part.clip.left) continue;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, part.clip.left, part.clip.top, part.clip.right, part.clip.bottom);
    SetTextColor(dc, GetSysColor(part.colour));
    RECT area = client;
    DrawTextW(dc, text, -1, &area, format);
    RestoreDC(dc, saved);
  }
  SelectObject(dc, oldFont);
}

LRESULT CALLBACK GaugeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  GaugeState* state = StateOf(window);
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(new GaugeState));
      break;
    case WM_NCDESTROY:
      delete state;
      SetWindowLongPtrW(window, 0, 0);
      break;
    case kGaugeSetPosition:
      if (state) SetPosition(window, *state, static_cast<int>(wParam));
      return 0;
    case kGaugeGetPosition:
      return state ? state->position : 0;
    case WM_SETFONT:
      if (state) state->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(state ? state->font : nullptr);
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT, without flicker
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (state) Paint(window, *state, dc);
      EndPaint(window, &paint);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RegisterGaugeClass(HINSTANCE instance) {
  WNDCLASSEXW gaugeClass{};
  gaugeClass.cbSize = sizeof gaugeClass;
  gaugeClass.lpfnWndProc = GaugeProc;
  gaugeClass.cbWndExtra = sizeof(GaugeState*);
  gaugeClass.hInstance = instance;
  gaugeClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  gaugeClass.lpszClassName = kGaugeClass;
  return RegisterClassExW(&gaugeClass) != 0;
}
