// What the list box shows while files are dragged over it: a focus outline
// around the entry under the pointer, and after a drop that entry selected
// alone. Points are in the list box's client coordinates.
#pragma once

#include <windows.h>

constexpr int kNoOutlinedEntry = -1;

// The entry under `clientPoint`, or kNoOutlinedEntry.
int ListEntryFromPoint(HWND list, POINT clientPoint);

// Moves the outline to the entry under the point; `outlinedEntry` is the
// entry outlined so far and receives the new one.
void DrawDragOutline(HWND list, POINT clientPoint, int& outlinedEntry);

// Takes the outline away, if there is one.
void RemoveDragOutline(HWND list, int& outlinedEntry);

// After a drop: no outline, no selection but the entry under the drop point.
void ApplyDropFeedback(HWND list, POINT clientPoint, int& outlinedEntry);
