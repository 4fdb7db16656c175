// Putting many paths at the top of the file list at once.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Leaves `list` exactly as inserting each of `paths` at index 0 in turn would:
// the paths above every earlier entry, the last one at the top, the earlier
// entries with their selection, caret and anchor, the view scrolled as before.
// Inserting at index 0 moves every entry below, so a large drop is refilled
// in one pass with redraw off instead. Never throws; when memory runs out
// the list keeps every earlier entry as it was, and takes the paths it has
// room for (a large drop all or none).
void FileListInsertTopMany(HWND list, const std::vector<std::wstring>& paths);
