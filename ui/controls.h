// The controls of the main window, made from one table of records: the six
// that show at rest and the three of the progress display.
#pragma once

#include "base/control_numbers.h"

#include <windows.h>

// The controls in the order of their creation, which is also the tab order.
inline constexpr ControlNumber kControlCreationOrder[] = {
    kListBoxControl,        kClearButtonControl,     kDecodeButtonControl,
    kFilterCheckBoxControl, kCharsetCheckBoxControl, kReferencesCheckBoxControl,
};

// The progress display's controls, created hidden after the others.
inline constexpr ControlNumber kProgressControls[] = {kProgressBarControl, kProgressTextControl, kStopButtonControl};

// Creates control `number` as a child of `parent`, its rectangle made for
// `dpi`, with its identifier set to the number and `font` set with redraw.
// Null when the system refused.
HWND CreateMainWindowControl(HWND parent, ControlNumber number, HFONT font, UINT dpi);

// Moves and sizes a control made by CreateMainWindowControl for `dpi` and
// gives it `font`, after the window moved to a monitor of another DPI. False
// for a window that is not one of the table's controls.
bool ScaleMainWindowControl(HWND control, HFONT font, UINT dpi);
