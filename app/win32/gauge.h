// The progress gauge: a borderless horizontal bar whose filled part is drawn in the
// active-caption colour over the menu colour, with the percentage centred as "42%". Its
// window text is that percentage, so it reads like any other control.
#pragma once

#include <windows.h>

inline constexpr wchar_t kGaugeClass[] = L"QPGauge";
// wParam: the new position; clamped to 0..100. Repaints at once when the shown value changes.
inline constexpr UINT kGaugeSetPosition = WM_USER + 1;
// Returns the position.
inline constexpr UINT kGaugeGetPosition = WM_USER + 2;

// Registers the window class; the gauge takes the font set with WM_SETFONT.
bool RegisterGaugeClass(HINSTANCE instance);
