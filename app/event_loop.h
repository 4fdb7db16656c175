// The event loop: waits for the next event and carries out what the user
// asked for, one command at a time, until the window is closed.
#pragma once

#include "base/event_queue.h"

// Returns the kind of the next waiting event, or EventKind::None after it
// has handled one Windows message instead. The current event's source and
// data can then be read until the next wait.
EventKind WaitForEvent();

// Runs until the close event. Every command runs to its end before the next
// event is taken.
void RunEventLoop();
