// Converts UTF-8 text into the active ANSI code page. Without references the
// bytes are exactly those that MultiByteToWideChar(CP_UTF8,
// MB_ERR_INVALID_CHARS) followed by WideCharToMultiByte(CP_ACP, 0) give over
// the same explicit length: best-fit characters where the code page has
// them, its default character elsewhere, zero bytes passed through, and
// text that is not valid UTF-8 refused. With references, every character
// that the code page cannot hold exactly is written as "&#N;" instead,
// except inside <script> and <style>.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <cstdint>

// The characters written as a replacement (a best-fit character or the
// default character) rather than exactly or as a reference.
struct ReplacedCharacters {
    static constexpr int kFirstShown = 5;

    int count = 0;
    int distinct = 0; // how many of `first` hold a code point
    char32_t first[kFirstShown] = {};
    bool more = false; // there were more distinct code points than `first` holds

    void Note(char32_t c);
};

// Where in the HTML text a conversion stands: the content of script and style
// elements keeps the platform's conversion, since a reference there would
// change what the page does.
enum class RawText : uint8_t { None, Script, Style };

// What the conversion of one text carries from one piece to the next.
struct AnsiConversionState {
    bool references = false; // set by the caller: inexact characters as "&#N;"
    RawText rawText = RawText::None;
    ReplacedCharacters replaced;
};

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

// Whether the text is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF, nothing cut short. Zero bytes are characters.
bool IsUtf8(const char* text, int length);

// The output room a piece conversion keeps free: it converts while at least
// this much is left, so `room` must be larger.
constexpr int kAnsiPieceSlack = 64;

// Converts the text from `*done` on into `out`, which has room for `room`
// bytes, until the text ends or less than kAnsiPieceSlack bytes of room are
// left; advances `*done` past what it took (always whole characters) and
// returns the number of bytes written, or -1 when the text is not valid
// UTF-8 at that point. `text` and `length` are the whole text each time:
// pieces follow from the room, and the state carries what one piece leaves
// to the next. The pieces, one after the other, give exactly the bytes of
// one conversion of the whole text.
int ConvertUtf8PieceToAnsi(AnsiConversionState& state, const char* text, int length, int* done, char* out, int room);

// The whole text at once, into a buffer of the heap handed in. `state` may
// be null for a conversion without references whose replacements nobody
// asks about.
AnsiConversion ConvertUtf8ToAnsi(const char* text, int length, HANDLE heap, AnsiConversionState* state = nullptr);

// The same conversion without references, done by the platform alone:
// measure, then convert, for both steps, into buffers of exactly the
// measured sizes.
AnsiConversion ConvertUtf8ToAnsiThroughPlatform(const char* text, int length, HANDLE heap);
