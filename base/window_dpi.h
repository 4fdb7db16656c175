// Dots per inch of the monitor a window is on. The program keeps every
// figure of its window as it is at 96 DPI and scales it by DPI / 96.
#pragma once

#include <windows.h>

constexpr UINT kBaseDpi = 96;

// A figure at 96 DPI made for `dpi`, rounded to the nearest pixel.
inline int ScaleForDpi(int value, UINT dpi)
{
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

// The DPI of the window's monitor: GetDpiForWindow where the system has it
// (Windows 10 1607), else GetDpiForMonitor (Windows 8.1), else the screen's
// LOGPIXELSX, the one DPI of Windows 7 and 8. Looked up at run time, so that
// the program starts on Windows 7.
UINT WindowDpi(HWND window);
UINT MonitorDpi(HMONITOR monitor);
// The DPI the system's own metrics and stock objects are made for.
UINT SystemDpi();

// A system metric (an icon's size, say) for `dpi`: GetSystemMetricsForDpi
// where the system has it, else the system DPI's metric scaled.
int SystemMetricForDpi(int index, UINT dpi);

// The outer rectangle of a window whose client area is `rect`, with the
// frame made for `dpi` (AdjustWindowRectExForDpi where the system has it;
// before Windows 10 1607 the frame is always the system DPI's).
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi);
