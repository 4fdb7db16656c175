// Keyboard behaviour of the main window: moving the focus with Tab and
// Shift+Tab, the focus that survives a switch to another program, and the
// keyboard cues (focus rectangles and access-key underlines).
#pragma once

#include <windows.h>

enum class FocusDirection { Next, Previous };

// Moves the focus among the enabled, visible tab-stop descendants of
// `mainWindow`, in child order, wrapping at either end. With no control of
// the active window focused, Next takes the first and Previous the last.
void MoveFocus(HWND mainWindow, FocusDirection direction);

// WM_ACTIVATE: remembers the focused window when `mainWindow` is deactivated
// (and hides the cues), gives it the focus back when it is activated again.
void RememberFocusAcrossActivation(HWND mainWindow, bool active);

// Shows both cues in `window` if either is hidden.
void ShowKeyboardCues(HWND window);

// The control that gets the focus when the main window is activated next.
HWND FocusOnActivation();
void SetFocusOnActivation(HWND control);
