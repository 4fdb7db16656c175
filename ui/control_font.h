// The font of the main window's controls for the DPI of the window's
// monitor.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

// A font the program made; deleted when the holder goes.
using UniqueFont = UniqueGdiObject<HFONT>;

// The controls' font for `dpi`. `stockFont` (DEFAULT_GUI_FONT) is made for the
// system DPI; at 96 DPI on a 96-DPI system it serves as it is and the result
// is empty. At any other DPI the result is a new font of the stock font's
// face and size (in points) made for `dpi`; empty too when it cannot be made,
// and then the stock font serves.
UniqueFont CreateControlFont(HFONT stockFont, UINT dpi);
