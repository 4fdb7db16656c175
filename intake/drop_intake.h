// The drop intake's entry points for the main window and the event loop.
#pragma once

#include <windows.h>

enum class DropTargetKind {
    Control, // the list box: posts list drop events and draws feedback
    Window,  // the main window: posts window drop events
};

// Registers a drop target for `window`. OLE must be initialised on this thread.
// Events are posted with `window` as the event's window. False if OLE refused.
bool RegisterDropTarget(HWND window, DropTargetKind kind);

// Handles the data of a list drop event (or a window drop event): every dropped
// folder is walked and every dropped file inserted at the top of `list`,
// subject to the "Filter for *.htm*" option read from `filterCheckBox`.
// `eventData` is the current event's data; valid only until the next take.
// Never throws: a drop or a walk too large for the memory there is adds the
// paths gathered before memory ran out, and the list keeps its entries.
void HandleListDrop(const void* eventData, HWND list, HWND filterCheckBox);
