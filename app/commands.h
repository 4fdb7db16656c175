// The commands the event loop runs itself. Neither asks nor reports anything.
#pragma once

#include <windows.h>

// Removes every selected entry of the file list; the others keep their order.
void DeleteSelectedEntries(HWND list);

// Empties the file list at once; the options keep their states.
void ClearFileList(HWND list);
