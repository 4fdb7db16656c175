// The file list: the path texts held by the main window's list box, newest at
// the top (index 0). Thin wrappers over the list box messages, so that the
// conversion and the intake need nothing of the window but its handles.
#pragma once

#include <windows.h>

#include <string>

void FileListInsertTop(HWND list, const wchar_t* path);
int FileListCount(HWND list);
// The text of entry `index`; empty when the list box has no such entry.
std::wstring FileListText(HWND list, int index);
bool FileListIsSelected(HWND list, int index);
void FileListRemove(HWND list, int index);
void FileListRemoveAll(HWND list);

// For refilling a long list in one pass. Adding at the bottom moves nothing,
// where inserting at the top moves every entry below.
void FileListAppend(HWND list, const wchar_t* path);
// Reserves room for `count` more entries holding `characters` characters in
// all; false when the list box cannot have that much.
bool FileListReserve(HWND list, size_t count, size_t characters);

// The list box does not redraw while the holder lives; it is repainted once
// when the holder goes.
class FileListRedrawPause {
public:
    explicit FileListRedrawPause(HWND list);
    FileListRedrawPause(const FileListRedrawPause&) = delete;
    FileListRedrawPause& operator=(const FileListRedrawPause&) = delete;
    ~FileListRedrawPause();

private:
    HWND list_;
};

// A check box option is ticked when BM_GETCHECK answers BST_CHECKED. Read at
// the moment it matters, never copied.
bool IsOptionTicked(HWND checkBox);
