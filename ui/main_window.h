// The main window: built once at start-up, it holds the file list, the
// "Clear" and "Decode" buttons and the three options, and lives until shut-down.
// Its message handling turns what the user does into events for the event loop.
#pragma once

#include "base/control_numbers.h"

#include <windows.h>

// Registers the class, creates and shows the window and its six controls,
// registers the list box and the window as drop targets, creates the
// tooltips and the accelerator table. OLE and the common controls must be
// initialised on this thread. False when the window itself could not be
// created; a control that could not be made is simply missing.
bool SetUpMainWindow(HICON icon, HCURSOR cursor, HFONT font);

// Null before the setup, after the close and for a missing control.
HWND MainWindow();
HWND MainWindowControl(ControlNumber number);
// The table the event wait offers key messages to; replaced during the setup.
HACCEL MainWindowAccelerators();

// Shut-down: revokes the drop targets, destroys the window with its
// controls, unregisters the class and destroys the accelerator table.
void CloseMainWindow();
