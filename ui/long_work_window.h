// The main window's side of long work (the Decode run, the drop intake):
// the controls that start commands or change options are disabled while it
// runs, the progress display shows how far it has come, and the taskbar
// button shows the same where Windows has it.
#pragma once

#include "base/long_work.h"

// The members of LongWorkWindow that belong to the window.
void EnterLongWorkInMainWindow();
void ShowLongWorkProgress(const LongWorkProgress& progress);
void LeaveLongWorkInMainWindow();
