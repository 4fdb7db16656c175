// The five controls of the main window, made from one table of records.
#pragma once

#include "base/control_numbers.h"

#include <windows.h>

// The controls in the order of their creation, which is also the tab order.
inline constexpr ControlNumber kControlCreationOrder[] = {
    kListBoxControl, kClearButtonControl, kDecodeButtonControl, kFilterCheckBoxControl, kCharsetCheckBoxControl,
};

// Creates control `number` as a child of `parent`, with its identifier set to
// the number and `font` set with redraw. Null when the system refused.
HWND CreateMainWindowControl(HWND parent, ControlNumber number, HFONT font);
