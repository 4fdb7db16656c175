// The list box's own mouse handling, in front of its window procedure: a
// plain click on an entry that is already selected keeps the whole selection
// (so that a multiple selection can be pressed on without losing it).
#pragma once

#include <windows.h>

void AttachListBoxMouseHandling(HWND listBox);
