// Converts one file in place from UTF-8 to the active ANSI code page.
#pragma once

#include <windows.h>

#include <string>

enum class TranscodeResult {
    Converted,             // the converted text was written over the file
    OpenFailed,            // the file could not be read whole at the given size; untouched
    WriteFailed,           // it could not be opened for writing, or the write failed and
                           // the original bytes were written back
    WriteFailedSavedAside, // the write failed and the original bytes could not
                           // be put back: they are in a recovery file
    WriteFailedNotSaved,   // ... nor could they be saved in one
    NotUtf8,               // its text is not valid UTF-8; untouched
    OutOfMemory,           // a buffer could not be taken; untouched
    Stopped,               // the session ended before the rewrite could begin; untouched
};

struct ReplacedCharacters;

// The file is read at the size the open file has, which must be 1 to
// 2^31 - 1 bytes; a file that changes size while it is read is not
// converted. A leading UTF-8 byte-order mark is dropped. When `removeCharset`
// is set the charset declaration is cut out of the converted text before it
// is written. For WriteFailedSavedAside, the recovery file's path goes to
// `savedAs` when given. Throws nothing but std::bad_alloc, and that only
// before the file is opened.
// When `writeReferences` is set, characters that the code page cannot hold
// exactly are written as "&#N;" (outside <script> and <style>); the caller
// sets it for HTML files only. A file whose converted bytes would be its
// bytes as they stand is not opened for writing. `replaced`, when given,
// receives the characters written as replacements into a Converted file.
TranscodeResult TranscodeFile(const wchar_t* path, bool removeCharset, std::wstring* savedAs = nullptr,
                              bool writeReferences = false, ReplacedCharacters* replaced = nullptr);
