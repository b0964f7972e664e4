// Sizes in physical pixels for the monitor a window is on. The program declares per-monitor
// awareness; the functions that tell a window's or a monitor's scale came with Windows 8.1 and
// 10, so each is looked up when first needed and falls back to the system's one scale (what
// Windows 7 gives every monitor).
#pragma once
#include "framework/Handles.h"

#include <windows.h>

namespace dpi {

// The scale at which sizes are written in the program (100 %).
constexpr UINT kBase = 96;
// WM_DPICHANGED: wParam holds the new scale, lParam the rectangle the system suggests for the
// window at that scale. Declared by the headers for Windows 8.1 and later only.
constexpr UINT kMsgDpiChanged = 0x02E0;

// The scale of the primary screen, the one every window has where monitors have no own.
UINT SystemDpi();
// The scale of the monitor a window is on (GetDpiForWindow), else the system's.
UINT WindowDpi(HWND window);
// True when the system lays out this dialog's template again when its scale changes (fonts,
// controls, the frame): per-monitor awareness version 2, Windows 10 1703 and later. Before
// that (Windows 8.1, early Windows 10) the program does it itself (ScaleDialog).
bool SystemRescalesDialog(HWND dialog);
// The scale a dialog's template was laid out for: its monitor's where the system rescales
// dialogs, else the system's.
UINT DialogDpi(HWND dialog);
// A length given at 96 DPI, at this scale.
int Scale(int value, UINT dpi);
// GetSystemMetrics for a scale (GetSystemMetricsForDpi where there is one).
int SystemMetric(int index, UINT dpi);
// Keeps the system (and ScaleDialog) from replacing this control's font when the dialog's
// scale changes: the dialog gives it a font of its own.
void KeepOwnFont(HWND control);
// Keeps the system from moving and sizing a dialog and its controls when its scale changes: a
// dialog that lays its controls out itself does that. The controls still get its new font.
void KeepOwnLayout(HWND dialog);
// What the system does for a dialog's template where it does not rescale dialogs itself: the
// text of the controls in the template's font made for the new scale (kept in font, which
// must outlive the controls' use of it), and, unless the dialog lays them out itself, each
// control's place and size scaled from the old scale to the new one.
void ScaleDialog(HWND dialog, UINT from, UINT to, CFontHandle& font, bool controls);
// Moves a window to the rectangle a WM_DPICHANGED suggests (its lParam).
void MoveToSuggested(HWND window, LPARAM lParam);

} // namespace dpi
