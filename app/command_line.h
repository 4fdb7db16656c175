// Files handed to the program when it starts: dropped on its icon in
// Explorer, sent with "Send to" or opened with "Open with".
#pragma once

#include <windows.h>

// Posts the paths of the program's command line (CommandLineToArgvW, the
// program itself skipped) as a list drop event for `list`, built as the
// list's drop target builds one: the loop then adds them exactly as a drop
// of the same paths on the list (folders walked, the filter option read as
// it stands). Posts nothing when there are no paths or no memory.
void PostCommandLineDrop(HWND list);
