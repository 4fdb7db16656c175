// Reading a dropped CF_HDROP block: a DROPFILES header whose pFiles gives the
// offset of a list of zero-terminated paths that ends with an empty one, in
// UTF-16 when fWide is set and in the ANSI code page otherwise.
#pragma once

#include <windows.h>

#include <shlobj.h> // DROPFILES

#include <string>
#include <vector>

// The paths of the block, in the block's order. The block comes from another
// program: a function of its bytes alone that never reads outside them. A
// block too small for the header, an offset outside the block (or inside the
// header) or a list whose closing empty path is missing gives no paths at all.
std::vector<std::wstring> DroppedPaths(const BYTE* block, SIZE_T size);
