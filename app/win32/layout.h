// The main window's layout at 96 dots per inch: client size, and each control's kind,
// place, caption, font and whether the Tab key stops on it, in the window's stored order
// (which is also the tab order). The window scales all of it to the monitor's resolution.
#pragma once

#include "app/toolkit.h"

enum class TControlKind { Label, Gauge, Edit, CheckBox, Button };
enum class TFontKind { Normal, Bold, Small };

struct TControlLayout {
  TControlId id;
  TControlKind kind;
  int left, top, width, height;
  const wchar_t* caption;
  TFontKind font;
  bool visible;
};

inline constexpr int kClientWidth = 445;
inline constexpr int kClientHeight = 173;
// Character heights in pixels: the window's Arial, and the smaller one of the two big buttons.
inline constexpr int kFontHeight = 13;
inline constexpr int kSmallFontHeight = 11;
// The version label's colour, "money green".
inline constexpr unsigned long kVersionColour = 0x00C0DCC0;  // RGB(192, 220, 192)

inline constexpr TControlLayout kLayout[] = {
    {TControlId::Label1, TControlKind::Label, 8, 8, 189, 16, L"W\u00E4hlen Sie den Zielordner aus ..", TFontKind::Normal,
     true},
    {TControlId::Label2, TControlKind::Label, 8, 149, 166, 16, L"Version f\u00FCr Harlbeck", TFontKind::Bold, true},
    {TControlId::GaugeZip, TControlKind::Gauge, 8, 102, 423, 22, L"", TFontKind::Normal, false},
    {TControlId::Label3, TControlKind::Label, 9, 86, 38, 16, L"Label3", TFontKind::Normal, false},
    {TControlId::edPath, TControlKind::Edit, 8, 30, 393, 22, L"", TFontKind::Normal, true},
    {TControlId::cboverwrite, TControlKind::CheckBox, 8, 60, 233, 14, L"existierende Dateien \u00FCberschreiben!",
     TFontKind::Normal, true},
    {TControlId::glb_dest, TControlKind::Button, 404, 27, 27, 27, L"...", TFontKind::Bold, true},
    {TControlId::glb_extract, TControlKind::Button, 292, 93, 139, 32, L"Extrahieren/Setup starten", TFontKind::Small,
     true},
    {TControlId::glb_exit, TControlKind::Button, 292, 131, 139, 32, L"Programm verlassen ...", TFontKind::Small, true},
};

// Child-window identifiers: 100 plus the control's place in TControlId. The UI-automation
// helper of the tests finds the controls by them.
inline constexpr int kFirstControlId = 100;
inline int ControlWindowId(TControlId id) { return kFirstControlId + static_cast<int>(id); }
// The main window's class name, by which the tests find it.
inline constexpr wchar_t kMainWindowClass[] = L"TForm1";
