// Converts one file in place from UTF-8 to the active ANSI code page.
#pragma once

#include <windows.h>

enum class TranscodeResult {
    Converted,
    OpenFailed,
    WriteFailed,
};

TranscodeResult TranscodeFile(const wchar_t* path, int size, bool removeCharset);
