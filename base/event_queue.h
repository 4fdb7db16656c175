// Events: what the event loop acts on. The main window's message handling and
// the drop targets post them; the event wait takes them, first in first out.
// Everything here runs on the program's one thread and takes no lock.
#pragma once

#include <windows.h>

enum class EventKind {
    None, // take found the queue empty
    Control,
    Shortcut,
    ListDrop,
    WindowDrop,
    Close,
    // Kinds that nothing acts on.
    Activate,
    Deactivate,
    EraseBackground,
    Move,
    Size,
    Timer,
    LeftButtonUp,
    RightButtonUp,
    LeftButtonDoubleClick,
};

using EventDataRelease = void (*)(void* data);

// Appends an event. `data` (may be null) belongs to the queue from here on and
// is freed with `release` at the take after the one that returns the event.
// A data-less event equal to the one at the tail (kind, source, window, type)
// is merged into it; an event that carries data is always appended.
// Posting into an empty queue also posts WM_NULL to the thread, so that an
// event raised inside a sent message does not wait in a blocked GetMessageW
// for unrelated input. False (data already released) if no memory was left.
bool PostEvent(EventKind kind, int source, HWND window, UINT type, void* data, EventDataRelease release);

// Releases the current event's data, then makes the head of the queue the
// current event and returns its kind; EventKind::None when the queue is empty,
// and then there is no current event.
EventKind TakeEvent();

// Fields of the current event; valid only until the next take.
EventKind CurrentEventKind();
int CurrentEventSource();
void* CurrentEventData();

// Shut-down: drops the waiting events and the current one, releasing all data.
void DropAllEvents();
