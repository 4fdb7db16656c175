#include "decode/utf8_to_ansi.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr int kBmpSize = 0x10000;

// What the active ANSI code page makes of each character of the Basic
// Multilingual Plane, asked of the platform one character at a time. An
// entry above 0xFF is a double-byte character, lead byte in the high half
// (a lead byte is never zero); any other entry is a single byte. The
// platform converts each UTF-16 unit on its own (flags 0 ask for no
// composition), so looking characters up one by one gives the same bytes as
// converting the whole text at once.
struct AnsiTable {
    bool usable = true;
    uint16_t bytes[kBmpSize];
};

// Null when there is no memory for it; conversions then go through the
// platform.
AnsiTable* BuildAnsiTable()
{
    AnsiTable* built = new (std::nothrow) AnsiTable;
    if (!built)
        return nullptr;
    AnsiTable& table = *built;
    for (int c = 0; c < kBmpSize && table.usable; ++c) {
        table.bytes[c] = 0;
        if (c >= 0xD800 && c <= 0xDFFF)
            continue; // never reached: valid UTF-8 holds no surrogates
        wchar_t unit = static_cast<wchar_t>(c);
        char out[8];
        int n = WideCharToMultiByte(CP_ACP, 0, &unit, 1, out, sizeof out, nullptr, nullptr);
        uint8_t lead = static_cast<uint8_t>(out[0]);
        if (n == 1)
            table.bytes[c] = lead;
        else if (n == 2 && lead != 0)
            table.bytes[c] = static_cast<uint16_t>(lead << 8 | static_cast<uint8_t>(out[1]));
        else
            table.usable = false; // a code page of longer characters
    }
    return built;
}

// Built on first use and kept for the process's life: the active code page
// does not change while a process runs. 128 KiB. Null when the code page
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

// The number of ASCII bytes at `p`, counted a block at a time; stops at the
// first other byte or where less than a block of input is left. When `o` is
// given the bytes are copied there too, each block stored whole before it
// is looked at: `o` never runs ahead of `p`, so the store stays inside an
// output as long as the input.
size_t AsciiRun(const uint8_t* p, const uint8_t* end, uint8_t* o)
{
    const uint8_t* start = p;
#if defined(__SSE2__)
    while (end - p >= 16) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (o) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), block);
            o += 16;
        }
        int high = _mm_movemask_epi8(block);
        if (high != 0)
            return static_cast<size_t>(p - start) + static_cast<size_t>(__builtin_ctz(high));
        p += 16;
    }
#else
    while (end - p >= 8) {
        uint64_t block;
        std::memcpy(&block, p, 8);
        if (o) {
            std::memcpy(o, &block, 8);
            o += 8;
        }
        uint64_t high = block & 0x8080808080808080ull;
        if (high != 0)
            return static_cast<size_t>(p - start) + static_cast<size_t>(__builtin_ctzll(high) / 8);
        p += 8;
    }
#endif
    return static_cast<size_t>(p - start);
}

enum class Walk { Converted, NotUtf8, NeedsPlatform };

// Walks the text character by character, checking that it is well-formed
// UTF-8 and, when `out` is given, writing what the code page makes of each
// character there. `out` needs room for as many bytes as the input: no
// character comes out longer than it went in, so the output never overtakes
// the input. `*produced` is the length of the converted text.
Walk WalkWithTable(const AnsiTable& table, const uint8_t* p, const uint8_t* end, uint8_t* out, size_t* produced)
{
    size_t o = 0;
    while (p < end) {
        size_t ascii = AsciiRun(p, end, out ? out + o : nullptr);
        p += ascii;
        o += ascii;
        if (p == end)
            break;

        uint8_t b = p[0];
        if (b < 0x80) {
            if (out)
                out[o] = b;
            ++o;
            ++p;
            continue;
        }

        // The well-formed sequences of the Unicode standard: no overlong
        // forms, no surrogates, nothing above U+10FFFF, nothing cut short.
        uint32_t c;
        ptrdiff_t left = end - p;
        if (b >= 0xC2 && b <= 0xDF) {
            if (left < 2 || !IsContinuation(p[1]))
                return Walk::NotUtf8;
            c = (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
            p += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (left < 3)
                return Walk::NotUtf8;
            uint8_t low = b == 0xE0 ? 0xA0 : 0x80;
            uint8_t high = b == 0xED ? 0x9F : 0xBF;
            if (p[1] < low || p[1] > high || !IsContinuation(p[2]))
                return Walk::NotUtf8;
            c = (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
            p += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            if (left < 4)
                return Walk::NotUtf8;
            uint8_t low = b == 0xF0 ? 0x90 : 0x80;
            uint8_t high = b == 0xF4 ? 0x8F : 0xBF;
            if (p[1] < low || p[1] > high || !IsContinuation(p[2]) || !IsContinuation(p[3]))
                return Walk::NotUtf8;
            c = (b & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
            p += 4;
        } else {
            return Walk::NotUtf8;
        }

        if (c < kBmpSize) {
            uint16_t bytes = table.bytes[c];
            if (bytes > 0xFF) {
                if (out)
                    out[o] = static_cast<uint8_t>(bytes >> 8);
                ++o;
            }
            if (out)
                out[o] = static_cast<uint8_t>(bytes);
            ++o;
            continue;
        }
        // Outside the table: the platform converts the surrogate pair, into
        // at most the four bytes the character took.
        c -= 0x10000;
        wchar_t pair[2] = {static_cast<wchar_t>(0xD800 + (c >> 10)), static_cast<wchar_t>(0xDC00 + (c & 0x3FF))};
        char bytes[8];
        int n = WideCharToMultiByte(CP_ACP, 0, pair, 2, bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || n > 4)
            return Walk::NeedsPlatform;
        if (out)
            std::memcpy(out + o, bytes, static_cast<size_t>(n));
        o += static_cast<size_t>(n);
    }
    *produced = o;
    return Walk::Converted;
}

AnsiConversion Failed(AnsiConversionStatus status)
{
    AnsiConversion result;
    result.status = status;
    return result;
}

} // namespace

AnsiConversion ConvertUtf8ToAnsi(const char* text, int length, HANDLE heap)
{
    if (length < 0)
        return Failed(AnsiConversionStatus::NotUtf8);
    const AnsiTable* table = UsableAnsiTable();
    if (!table)
        return ConvertUtf8ToAnsiThroughPlatform(text, length, heap);

    AnsiConversion result;
    result.text = HeapBlock::Allocate(heap, static_cast<SIZE_T>(length));
    if (!result.text)
        return Failed(AnsiConversionStatus::OutOfMemory);

    const uint8_t* begin = reinterpret_cast<const uint8_t*>(text);
    size_t produced = 0;
    switch (WalkWithTable(*table, begin, begin + length, result.text.As<uint8_t>(), &produced)) {
    case Walk::Converted:
        result.status = AnsiConversionStatus::Converted;
        result.length = static_cast<int>(produced);
        return result;
    case Walk::NotUtf8: return Failed(AnsiConversionStatus::NotUtf8);
    case Walk::NeedsPlatform: break;
    }
    result.text.Free();
    return ConvertUtf8ToAnsiThroughPlatform(text, length, heap);
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

AnsiCheck CheckUtf8ForAnsi(const char* text, int length)
{
    if (length < 0)
        return AnsiCheck::NotUtf8;
    if (const AnsiTable* table = UsableAnsiTable()) {
        const uint8_t* begin = reinterpret_cast<const uint8_t*>(text);
        size_t produced = 0;
        switch (WalkWithTable(*table, begin, begin + length, nullptr, &produced)) {
        case Walk::Converted: return AnsiCheck::Pieces;
        case Walk::NotUtf8: return AnsiCheck::NotUtf8;
        case Walk::NeedsPlatform: break;
        }
    }
    if (length > 0 && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0) <= 0)
        return AnsiCheck::NotUtf8;
    return AnsiCheck::Whole;
}

int WholeCharactersIn(const char* text, int length, int wanted)
{
    if (wanted >= length)
        return length;
    int end = wanted;
    while (end > 0 && IsContinuation(static_cast<uint8_t>(text[end])))
        --end;
    return end;
}

int ConvertUtf8PieceToAnsi(const char* text, int length, char* out)
{
    const AnsiTable* table = UsableAnsiTable();
    const uint8_t* begin = reinterpret_cast<const uint8_t*>(text);
    size_t produced = 0;
    if (!table ||
        WalkWithTable(*table, begin, begin + length, reinterpret_cast<uint8_t*>(out), &produced) != Walk::Converted)
        return -1;
    return static_cast<int>(produced);
}
