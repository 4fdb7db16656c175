// Converts UTF-8 text into the active ANSI code page, giving exactly the bytes
// that MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS) followed by
// WideCharToMultiByte(CP_ACP, 0) give over the same explicit length: best-fit
// characters where the code page has them, its default character elsewhere,
// zero bytes passed through, and text that is not valid UTF-8 refused.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

enum class AnsiConversionStatus {
    Converted,
    NotUtf8,     // the text holds a byte sequence that is not valid UTF-8
    OutOfMemory, // a buffer could not be taken from the heap
};

struct AnsiConversion {
    AnsiConversionStatus status = AnsiConversionStatus::OutOfMemory;
    HeapBlock text; // from the heap handed in; holds `length` bytes when Converted
    int length = 0;
};

// The fast conversion: ASCII runs are copied straight through and every other
// character is looked up in a table built once from the platform's own
// conversion. Code pages whose characters can take more than two bytes go
// through ConvertUtf8ToAnsiThroughPlatform instead. The result buffer is
// never longer than `length` bytes.
AnsiConversion ConvertUtf8ToAnsi(const char* text, int length, HANDLE heap);

// The same conversion done by the platform alone: measure, then convert, for
// both steps, into buffers of exactly the measured sizes.
AnsiConversion ConvertUtf8ToAnsiThroughPlatform(const char* text, int length, HANDLE heap);

// For texts that are written as they come, piece by piece, with no buffer of
// the whole converted text.
enum class AnsiCheck {
    Pieces,  // valid UTF-8, and every piece of whole characters converts
    Whole,   // valid UTF-8, but only the whole-text conversions take it
    NotUtf8, // not valid UTF-8
};
AnsiCheck CheckUtf8ForAnsi(const char* text, int length);

// The length of the longest start of the text, at most `wanted` bytes, that
// ends on a character boundary of a valid UTF-8 text.
int WholeCharactersIn(const char* text, int length, int wanted);

// Converts a piece of whole characters of a text that CheckUtf8ForAnsi gave
// Pieces for into `out`, which has room for `length` bytes; returns the
// converted length. The pieces of a text, converted one after the other,
// give exactly the bytes of ConvertUtf8ToAnsi over the whole text.
int ConvertUtf8PieceToAnsi(const char* text, int length, char* out);
