// Events: what the event loop acts on. The main window's message handling and
// the drop targets post them; the event wait takes them, first in first out.
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

// Appends an event. `data` (may be null) is owned by the queue from here on and
// freed with `release` at the take after the one that returns the event.
void PostEvent(EventKind kind, int source, HWND window, UINT type, void* data, EventDataRelease release);

// Releases the current event's data, then makes the head of the queue the
// current event and returns its kind; EventKind::None when the queue is empty.
EventKind TakeEvent();

// Fields of the current event; valid only until the next take.
int CurrentEventSource();
void* CurrentEventData();

// Shut-down: drops the waiting events and the current one, releasing all data.
void DropAllEvents();
