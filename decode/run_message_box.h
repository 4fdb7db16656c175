// The message boxes of the Decode run: modal, an OK button and no icon.
#pragma once

#include <windows.h>

// Shows one box and returns when the user has pressed OK. Its owner is the
// foreground window when that window is this program's, otherwise it has
// none. While it shows, every other visible and enabled top-level window of
// the calling thread is disabled and every topmost one of them gives up
// staying on top, so the box stands above the program and is the only thing
// to use; both are undone when it closes.
void ShowRunMessage(const wchar_t* title, const wchar_t* text);
