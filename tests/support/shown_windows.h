// Finding and reading what a thread shows on the screen, as a user sees it.
// Works on the windows of another process too.
#pragma once

#include <windows.h>

#include <string>

// The first visible top-level window of the thread whose class is
// `className` (letter case ignored); null when none shows.
HWND FindShownWindow(DWORD threadId, const wchar_t* className);

// A message box's title and text (its static control 0xFFFF).
struct MessageBoxContent {
    std::wstring title;
    std::wstring text;
};
MessageBoxContent ReadMessageBox(HWND box);
// Presses OK.
void DismissMessageBox(HWND box);
