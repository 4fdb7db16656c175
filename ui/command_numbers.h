// The command numbers of the main window's accelerator table. The focus
// commands are carried out by the window's message handling; every other
// command reaches the event loop as a shortcut event.
#pragma once

enum CommandNumber : int {
    kDeleteCommand = 9,
    kFocusNextCommand = 64001,
    kFocusPreviousCommand = 64002,
};
