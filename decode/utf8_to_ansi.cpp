#include "decode/utf8_to_ansi.h"

// Every build runs the block path: the x86 build is made for SSE2 as well.
#if !defined(__SSE2__)
#error "the conversion needs SSE2 (x64, or x86 built with -msse2)"
#endif
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kBmpSize = 0x10000;
constexpr int kTwoByteLimit = 0x800; // UTF-8 takes two bytes below this

// A table entry: the code page's bytes (the first in bits 0-7, a second in
// bits 8-15) and two flags.
constexpr uint32_t kTwoBytes = 1u << 16;
constexpr uint32_t kInexact = 1u << 17; // does not convert back to itself

// An entry of the block path's table for U+0080 to U+07FF: the byte, or
// kNotOneExactByte when the character needs the careful path.
constexpr uint16_t kNotOneExactByte = 0x100;

// What the active ANSI code page makes of each character of the Basic
// Multilingual Plane, asked of the platform one character at a time, and
// whether that comes back as the same character. The platform converts each
// UTF-16 unit on its own (flags 0 ask for no composition), so looking
// characters up one by one gives the same bytes as converting the whole text
// at once.
struct AnsiTable {
    bool usable = true;
    uint32_t entry[kBmpSize];
    uint16_t twoByte[kTwoByteLimit];
};

// What the code page makes of one character (one unit, or a surrogate
// pair), asked of the platform, with the round trip that tells whether it
// is exact: a best-fit character and the default character come back as
// something else. Length 0 when the platform refuses.
struct PlatformCharacter {
    char bytes[8];
    int length = 0;
    bool exact = false;
};

PlatformCharacter AskPlatform(const wchar_t* units, int count)
{
    PlatformCharacter result;
    int n = WideCharToMultiByte(CP_ACP, 0, units, count, result.bytes, sizeof result.bytes, nullptr, nullptr);
    if (n <= 0)
        return result;
    result.length = n;
    wchar_t back[8];
    int m = MultiByteToWideChar(CP_ACP, 0, result.bytes, n, back, 8);
    result.exact = m == count && std::equal(units, units + count, back);
    return result;
}

// Null when there is no memory for it; conversions then ask the platform
// for each character.
AnsiTable* BuildAnsiTable()
{
    AnsiTable* built = new (std::nothrow) AnsiTable;
    if (!built)
        return nullptr;
    AnsiTable& table = *built;
    for (int c = 0; c < kBmpSize && table.usable; ++c) {
        table.entry[c] = 0;
        if (c >= 0xD800 && c <= 0xDFFF)
            continue; // never reached: valid UTF-8 holds no surrogates
        wchar_t unit = static_cast<wchar_t>(c);
        PlatformCharacter converted = AskPlatform(&unit, 1);
        uint8_t lead = static_cast<uint8_t>(converted.bytes[0]);
        uint32_t flags = converted.exact ? 0 : kInexact;
        if (converted.length == 1)
            table.entry[c] = lead | flags;
        else if (converted.length == 2 && lead != 0)
            table.entry[c] = lead | static_cast<uint8_t>(converted.bytes[1]) << 8 | kTwoBytes | flags;
        else
            table.usable = false; // a code page of longer characters
        // The block path copies ASCII as it stands.
        if (c < 0x80 && table.entry[c] != static_cast<uint32_t>(c))
            table.usable = false;
    }
    for (int c = 0; c < kTwoByteLimit; ++c) {
        uint32_t entry = table.entry[c];
        table.twoByte[c] = (entry & (kTwoBytes | kInexact)) ? kNotOneExactByte : static_cast<uint16_t>(entry & 0xFF);
    }
    return built;
}

// Built on first use and kept for the process's life: the active code page
// does not change while a process runs. 260 KiB. Null when the code page
// needs the platform's own conversion, or the table could not be built.
const AnsiTable* UsableAnsiTable()
{
    static const AnsiTable* table = BuildAnsiTable();
    return table && table->usable ? table : nullptr;
}

bool IsContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// The well-formed sequence at `p` (p < end, *p not ASCII): its length, and
// the code point in `*c`; 0 when it is not well-formed.
int DecodeSequence(const uint8_t* p, const uint8_t* end, uint32_t* c)
{
    uint8_t b = p[0];
    ptrdiff_t left = end - p;
    if (b >= 0xC2 && b <= 0xDF) {
        if (left < 2 || !IsContinuation(p[1]))
            return 0;
        *c = (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3)
            return 0;
        uint8_t low = b == 0xE0 ? 0xA0 : 0x80;
        uint8_t high = b == 0xED ? 0x9F : 0xBF;
        if (p[1] < low || p[1] > high || !IsContinuation(p[2]))
            return 0;
        *c = (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4)
            return 0;
        uint8_t low = b == 0xF0 ? 0x90 : 0x80;
        uint8_t high = b == 0xF4 ? 0x8F : 0xBF;
        if (p[1] < low || p[1] > high || !IsContinuation(p[2]) || !IsContinuation(p[3]))
            return 0;
        *c = (b & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
        return 4;
    }
    return 0;
}

// Byte masks of a block of 16: bytes that continue a sequence (0x80-0xBF)
// and bytes that begin a two-byte one (0xC2-0xDF), compared as signed bytes.
unsigned ContinuationMask(__m128i block)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_set1_epi8(-64))));
}

unsigned TwoByteLeadMask(__m128i block)
{
    __m128i lead = _mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(-63)), _mm_cmplt_epi8(block, _mm_set1_epi8(-32)));
    return static_cast<unsigned>(_mm_movemask_epi8(lead));
}

// How many bytes of a block that begins on a character boundary are ASCII
// and whole two-byte sequences: 16, or 15 when the last byte begins a
// sequence that the next block holds; 0 when the block holds anything else.
// `high` is the mask of its non-ASCII bytes; `lead` gets the leading bytes.
int TwoByteBlockWidth(__m128i block, unsigned high, unsigned* lead)
{
    unsigned continuation = ContinuationMask(block);
    unsigned leads = TwoByteLeadMask(block);
    int width = 16;
    if (leads & 0x8000) {
        width = 15;
        leads &= 0x7FFF;
        high &= 0x7FFF;
    }
    if ((leads | continuation) != high || continuation != leads << 1)
        return 0;
    *lead = leads;
    return width;
}

// Converts a block of ASCII and two-byte sequences whose characters are all
// exact single bytes of the code page, without leaving the vector path: the
// block is stored whole, then each character's byte is put in place and the
// rest of the block stored again after it. Needs 32 bytes of input and of
// output from `p` and `out`. Returns the input bytes taken, 0 when the block
// needs the careful path (nothing counted then; the bytes stored are
// scratch).
int ConvertTwoByteBlock(const AnsiTable& table, const uint8_t* p, __m128i block, unsigned high, uint8_t* out,
                        size_t* produced)
{
    unsigned lead = 0;
    int width = TwoByteBlockWidth(block, high, &lead);
    if (width == 0)
        return 0;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    unsigned flags = 0;
    int source = 0;
    int target = 0;
    while (lead) {
        int i = __builtin_ctz(lead);
        lead &= lead - 1;
        target += i - source;
        uint16_t entry = table.twoByte[(p[i] & 0x1Fu) << 6 | (p[i + 1] & 0x3Fu)];
        flags |= entry;
        out[target++] = static_cast<uint8_t>(entry);
        source = i + 2;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + target),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + source)));
    }
    if (flags & kNotOneExactByte)
        return 0;
    *produced = static_cast<size_t>(target + width - source);
    return width;
}

bool MatchesLowerCase(const uint8_t* p, const uint8_t* end, const char* word, size_t length)
{
    if (static_cast<size_t>(end - p) < length)
        return false;
    for (size_t k = 0; k < length; ++k) {
        uint8_t b = p[k];
        if (b >= 'A' && b <= 'Z')
            b = static_cast<uint8_t>(b - 'A' + 'a');
        if (b != static_cast<uint8_t>(word[k]))
            return false;
    }
    return true;
}

// "<script" or "<style" followed by white space, '>' or '/'.
bool StartsElement(const uint8_t* p, const uint8_t* end, const char* word, size_t length)
{
    if (!MatchesLowerCase(p, end, word, length) || end - p <= static_cast<ptrdiff_t>(length))
        return false;
    uint8_t next = p[length];
    return next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '\f' || next == '>' || next == '/';
}

// At a '<': a script or style element starts, or the one we are in ends.
// The text beyond the piece is read too, so a tag cut by a piece's edge is
// seen whole.
void NoteTag(RawText& rawText, const uint8_t* p, const uint8_t* end)
{
    switch (rawText) {
    case RawText::None:
        if (StartsElement(p, end, "<script", 7))
            rawText = RawText::Script;
        else if (StartsElement(p, end, "<style", 6))
            rawText = RawText::Style;
        break;
    case RawText::Script:
        if (MatchesLowerCase(p, end, "</script", 8))
            rawText = RawText::None;
        break;
    case RawText::Style:
        if (MatchesLowerCase(p, end, "</style", 7))
            rawText = RawText::None;
        break;
    }
}

// "&#", the code point in decimal, ";": at most 10 bytes.
size_t WriteReference(uint8_t* out, uint32_t c)
{
    char digits[8];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + c % 10);
        c /= 10;
    } while (c);
    size_t o = 0;
    out[o++] = '&';
    out[o++] = '#';
    while (count)
        out[o++] = static_cast<uint8_t>(digits[--count]);
    out[o++] = ';';
    return o;
}

// One character at `p`, the careful way: a tag that starts or ends a script
// or style element, a character outside the block path's table, an inexact
// one. False when the text is not valid UTF-8 here, or the platform refused
// the character.
bool ConvertCharacter(const AnsiTable* table, AnsiConversionState& state, const uint8_t*& p, const uint8_t* end,
                      uint8_t* out, size_t& o)
{
    uint8_t b = *p;
    if (b < 0x80) {
        if (b == '<' && state.references)
            NoteTag(state.rawText, p, end);
        // Every ANSI code page stores ASCII as itself (the table checks it).
        out[o++] = b;
        ++p;
        return true;
    }
    uint32_t c = 0;
    int taken = DecodeSequence(p, end, &c);
    if (taken == 0)
        return false;
    p += taken;

    uint8_t bytes[8];
    size_t length = 0;
    bool exact = false;
    if (c < kBmpSize && table) {
        uint32_t entry = table->entry[c];
        bytes[0] = static_cast<uint8_t>(entry);
        bytes[1] = static_cast<uint8_t>(entry >> 8);
        length = entry & kTwoBytes ? 2 : 1;
        exact = !(entry & kInexact);
    } else {
        wchar_t units[2];
        int count = 1;
        if (c < kBmpSize) {
            units[0] = static_cast<wchar_t>(c);
        } else {
            uint32_t s = c - 0x10000;
            units[0] = static_cast<wchar_t>(0xD800 + (s >> 10));
            units[1] = static_cast<wchar_t>(0xDC00 + (s & 0x3FF));
            count = 2;
        }
        PlatformCharacter converted = AskPlatform(units, count);
        if (converted.length == 0)
            return false;
        std::memcpy(bytes, converted.bytes, static_cast<size_t>(converted.length));
        length = static_cast<size_t>(converted.length);
        exact = converted.exact;
    }

    if (!exact && state.references && state.rawText == RawText::None) {
        o += WriteReference(out + o, c);
        return true;
    }
    std::memcpy(out + o, bytes, length);
    o += length;
    if (!exact)
        state.replaced.Note(c);
    return true;
}

AnsiConversion Failed(AnsiConversionStatus status)
{
    AnsiConversion result;
    result.status = status;
    return result;
}

} // namespace

void ReplacedCharacters::Note(char32_t c)
{
    ++count;
    for (int k = 0; k < distinct; ++k)
        if (first[k] == c)
            return;
    if (distinct < kFirstShown)
        first[distinct++] = c;
    else
        more = true;
}

bool IsUtf8(const char* text, int length)
{
    if (length < 0)
        return false;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
    const uint8_t* end = p + length;
    while (p < end) {
        if (end - p >= 16) {
            __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            // No test for a block of ASCII alone: the test below passes it
            // too, and a branch that goes either way half the time costs
            // more than the masks.
            unsigned high = static_cast<unsigned>(_mm_movemask_epi8(block));
            unsigned lead = 0;
            if (int width = TwoByteBlockWidth(block, high, &lead)) {
                p += width;
                continue;
            }
            p += __builtin_ctz(high);
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        uint32_t c = 0;
        int taken = DecodeSequence(p, end, &c);
        if (taken == 0)
            return false;
        p += taken;
    }
    return true;
}

int ConvertUtf8PieceToAnsi(AnsiConversionState& state, const char* text, int length, int* done, char* out, int room)
{
    const AnsiTable* table = UsableAnsiTable();
    const uint8_t* begin = reinterpret_cast<const uint8_t*>(text);
    const uint8_t* end = begin + length;
    const uint8_t* p = begin + *done;
    uint8_t* o8 = reinterpret_cast<uint8_t*>(out);
    const size_t limit = room > kAnsiPieceSlack ? static_cast<size_t>(room - kAnsiPieceSlack) : 0;
    // Tags matter only where references are written.
    const __m128i lessThan = _mm_set1_epi8(state.references ? '<' : 0x80);
    size_t o = 0;
    while (p < end && o < limit) {
        if (table && end - p >= 32) {
            __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            unsigned high = static_cast<unsigned>(_mm_movemask_epi8(block));
            unsigned tag = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lessThan))) & ~high;
            if ((high | tag) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(o8 + o), block);
                p += 16;
                o += 16;
                continue;
            }
            if (tag == 0) {
                size_t produced = 0;
                if (int taken = ConvertTwoByteBlock(*table, p, block, high, o8 + o, &produced)) {
                    p += taken;
                    o += produced;
                    continue;
                }
            }
            // The ASCII before the first character that needs care.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o8 + o), block);
            int ascii = __builtin_ctz(high | tag);
            p += ascii;
            o += static_cast<size_t>(ascii);
            if (o >= limit)
                break;
        }
        if (!ConvertCharacter(table, state, p, end, o8, o)) {
            *done = static_cast<int>(p - begin);
            return -1;
        }
    }
    *done = static_cast<int>(p - begin);
    return static_cast<int>(o);
}

AnsiConversion ConvertUtf8ToAnsi(const char* text, int length, HANDLE heap, AnsiConversionState* state)
{
    if (!IsUtf8(text, length))
        return Failed(AnsiConversionStatus::NotUtf8);
    AnsiConversionState ownState;
    AnsiConversionState& used = state ? *state : ownState;

    // No character comes out longer than it went in, except as a reference:
    // with references the length is measured first, in a scratch piece.
    SIZE_T capacity = static_cast<SIZE_T>(length) + kAnsiPieceSlack;
    if (used.references) {
        constexpr int kScratch = 64 * 1024;
        HeapBlock scratch = HeapBlock::Allocate(heap, kScratch);
        if (!scratch)
            return Failed(AnsiConversionStatus::OutOfMemory);
        AnsiConversionState measuring = used;
        capacity = kAnsiPieceSlack;
        for (int done = 0; done < length;) {
            int produced = ConvertUtf8PieceToAnsi(measuring, text, length, &done, scratch.As<char>(), kScratch);
            if (produced < 0)
                return Failed(AnsiConversionStatus::NotUtf8);
            capacity += static_cast<SIZE_T>(produced);
        }
    }
    // Counts are signed 32-bit: a text that grows past them cannot be held.
    if (capacity > 0x7FFFFFFF)
        return Failed(AnsiConversionStatus::OutOfMemory);

    AnsiConversion result;
    result.text = HeapBlock::Allocate(heap, capacity);
    if (!result.text)
        return Failed(AnsiConversionStatus::OutOfMemory);
    int done = 0;
    int produced =
        ConvertUtf8PieceToAnsi(used, text, length, &done, result.text.As<char>(), static_cast<int>(capacity));
    if (produced < 0)
        return Failed(AnsiConversionStatus::NotUtf8);
    // Left over only if a character came out longer than it went in, which
    // no ANSI code page does; never hand on part of a text.
    if (done != length)
        return Failed(AnsiConversionStatus::OutOfMemory);
    result.status = AnsiConversionStatus::Converted;
    result.length = produced;
    return result;
}

AnsiConversion ConvertUtf8ToAnsiThroughPlatform(const char* text, int length, HANDLE heap)
{
    if (length < 0)
        return Failed(AnsiConversionStatus::NotUtf8);
    AnsiConversion result;
    if (length == 0) {
        result.text = HeapBlock::Allocate(heap, 1, HEAP_ZERO_MEMORY);
        result.status = result.text ? AnsiConversionStatus::Converted : AnsiConversionStatus::OutOfMemory;
        return result;
    }

    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (n <= 0)
        return Failed(GetLastError() == ERROR_NO_UNICODE_TRANSLATION ? AnsiConversionStatus::NotUtf8
                                                                     : AnsiConversionStatus::OutOfMemory);
    HeapBlock wide = HeapBlock::Allocate(heap, static_cast<SIZE_T>(n) * sizeof(wchar_t), HEAP_ZERO_MEMORY);
    if (!wide)
        return Failed(AnsiConversionStatus::OutOfMemory);
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, wide.As<wchar_t>(), n) != n)
        return Failed(AnsiConversionStatus::NotUtf8);

    // The platform fails here only when the measured text would not fit a
    // signed 32-bit count, which no buffer of this process could hold anyway.
    int m = WideCharToMultiByte(CP_ACP, 0, wide.As<wchar_t>(), n, nullptr, 0, nullptr, nullptr);
    if (m <= 0)
        return Failed(AnsiConversionStatus::OutOfMemory);
    result.text = HeapBlock::Allocate(heap, static_cast<SIZE_T>(m), HEAP_ZERO_MEMORY);
    if (!result.text)
        return Failed(AnsiConversionStatus::OutOfMemory);
    result.length = WideCharToMultiByte(CP_ACP, 0, wide.As<wchar_t>(), n, result.text.As<char>(), m, nullptr, nullptr);
    if (result.length != m)
        return Failed(AnsiConversionStatus::OutOfMemory);
    result.status = AnsiConversionStatus::Converted;
    return result;
}
