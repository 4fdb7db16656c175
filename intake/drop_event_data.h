// The data a drop event carries: the clipboard format of what was dropped and
// a copy of the dropped global block, taken during Drop because the source's
// data object is not kept. One heap block from the General heap.
#pragma once

#include <windows.h>

struct DropEventView {
    UINT format = 0;
    const BYTE* bytes = nullptr; // valid while the event data lives
    SIZE_T size = 0;
};

// A new event data block holding a copy of `bytes`; null when the heap has no
// room. Freed with ReleaseDropEventData, the event's release routine.
void* CreateDropEventData(UINT format, const void* bytes, SIZE_T size);
void ReleaseDropEventData(void* data);

// The fields of an event data block; all empty for null.
DropEventView ReadDropEventData(const void* data);
