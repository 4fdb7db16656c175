// The "Decode" command: converts every entry of the file list, top first,
// reporting each failing file in a message box and ending with "Done!".
#pragma once

#include <windows.h>

// `list` is the list box holding the file list, `charsetCheckBox` the
// "delete charset UTF-8" option and `referencesCheckBox` the "missing chars
// as &#NNNN;" option, both read for each file. Returns once the user has
// dismissed the closing box.
void DecodeFileList(HWND list, HWND charsetCheckBox, HWND referencesCheckBox);
