// Converts one file in place from UTF-8 to the active ANSI code page.
#pragma once

#include <windows.h>

enum class TranscodeResult {
    Converted,   // the converted text was written over the file
    OpenFailed,  // the file could not be read whole at the given size; untouched
    WriteFailed, // it could not be opened for writing, or the write failed and
                 // the original bytes were written back
    NotUtf8,     // its text is not valid UTF-8; untouched
    OutOfMemory, // a buffer could not be taken; untouched
    Stopped,     // the session ended before the rewrite could begin; untouched
};

// `size` is the file's size as the size probe gave it, 1 to 2^31 - 1; a file
// of any other size by the time it is read is not converted. A leading UTF-8
// byte-order mark is dropped. When `removeCharset` is set the charset
// declaration is cut out of the converted text before it is written.
TranscodeResult TranscodeFile(const wchar_t* path, int size, bool removeCharset);
