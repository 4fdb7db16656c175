// Balloon help for the main window's controls. The tooltips keep no text of
// their own: each showing asks the main window, and the tip text supply
// answers from a table.
#pragma once

#include <windows.h>

// Makes one balloon tooltip whose single tool is the whole of `control`, and
// which asks `mainWindow` for its text. The tooltip is never destroyed; it
// ends with the process. A tooltip that cannot be made is simply missing.
void CreateControlTooltip(HWND mainWindow, HWND control, int maxTipWidth);

// The first handler of every main window message. Answers a TTN_GETDISPINFOW
// request about one of the six controls and returns true (the window's
// answer is then 0); returns false for every other message.
bool SupplyTipText(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
