// The file list: the path texts held by the main window's list box, newest at
// the top (index 0). Thin wrappers over the list box messages, so that the
// conversion and the intake need nothing of the window but its handles.
#pragma once

#include <windows.h>

#include "base/unique_handle.h"

#include <string>

// False when the list box has no room for it.
bool FileListInsertTop(HWND list, const wchar_t* path);
int FileListCount(HWND list);
// The text of entry `index`; empty when the list box has no such entry.
std::wstring FileListText(HWND list, int index);
bool FileListIsSelected(HWND list, int index);
// The entry under a point in the list box's client area, or -1 when the point
// lies outside the client area or below the last entry. Worked out from the
// top index and the item height, since LB_ITEMFROMPOINT gives the index in
// 16 bits only.
int FileListEntryAt(HWND list, POINT clientPoint);
void FileListRemove(HWND list, int index);
void FileListRemoveAll(HWND list);

// For refilling a long list in one pass. Adding at the bottom moves nothing,
// where inserting at the top moves every entry below.
// False when the list box has no room for it.
bool FileListAppend(HWND list, const wchar_t* path);
// Reserves room for `count` more entries holding `characters` characters in
// all; false when the list box cannot have that much.
bool FileListReserve(HWND list, size_t count, size_t characters);

// Every entry's text and selection read out at once, into two blocks taken
// without exceptions, for rebuilding the list. Texts are valid while the
// snapshot lives.
class FileListSnapshot {
public:
    // False when the memory for it cannot be had; the snapshot is then empty.
    bool Take(HWND list);
    int Count() const { return count_; }
    const wchar_t* Text(int index) const { return texts_.As<wchar_t>() + offsets_.As<size_t>()[index]; }
    bool IsSelected(int index) const { return selected_.As<bool>()[index]; }
    // All texts with a terminating zero each, in characters.
    size_t Characters() const { return characters_; }

private:
    int count_ = 0;
    size_t characters_ = 0;
    HeapBlock offsets_;  // where each text starts in `texts_`
    HeapBlock selected_; // one bool per entry
    HeapBlock texts_;
};

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
