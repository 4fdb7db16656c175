#include "decode/transcode_file.h"

#include "base/file_system_path.h"
#include "base/program_heaps.h"
#include "base/unique_handle.h"
#include "decode/charset_removal.h"
#include "decode/utf8_to_ansi.h"

#include <algorithm>

namespace {

constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

// The converted text is written in pieces of at most this many bytes.
constexpr int kPieceSize = 1 << 20;

// Reads the whole file, asking for one byte more than `size` so that a file
// that has grown since it was probed shows itself. True only when exactly
// `size` bytes were there.
bool ReadWhole(const wchar_t* path, char* buffer, DWORD size)
{
    UniqueFile file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD wanted = size + 1;
    DWORD total = 0;
    // One request as a rule; more only where the system splits a large read.
    while (total < wanted) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer + total, wanted - total, &got, nullptr))
            return false;
        if (got == 0)
            break;
        total += got;
    }
    return total == size;
}

// The two ways of opening for writing; the second one succeeds on hidden and
// system files, which refuse CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL.
UniqueFile OpenForRewrite(const wchar_t* path)
{
    UniqueFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        file.Reset(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0, nullptr));
    return file;
}

// Writes `length` bytes at the current position; a short count is a failure
// (a full disk answers the first request with one).
bool WriteAll(HANDLE file, const char* bytes, DWORD length)
{
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, length, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        length -= written;
    }
    return true;
}

bool IsAllZero(const char* bytes, DWORD length)
{
    return std::all_of(bytes, bytes + length, [](char b) { return b == 0; });
}

// Puts the original bytes back after a failed rewrite. Blocks of zeros are
// not written but left to the end-of-file mark, which reads them back as
// zeros: a sparse file thus comes back in the space it took before, even on
// the full disk that made the rewrite fail.
bool WriteBack(HANDLE file, const char* original, DWORD size)
{
    // What the failed write left goes first, so no skipped block keeps it.
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) || !SetEndOfFile(file))
        return false;
    constexpr DWORD kBlock = 4096;
    DWORD offset = 0;
    while (offset < size) {
        if (IsAllZero(original + offset, std::min(kBlock, size - offset))) {
            offset += std::min(kBlock, size - offset);
            continue;
        }
        // A run of blocks that hold data goes in one request.
        DWORD end = offset;
        while (end < size && !IsAllZero(original + end, std::min(kBlock, size - end)))
            end += std::min(kBlock, size - end);
        position.QuadPart = offset;
        if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) || !WriteAll(file, original + offset, end - offset))
            return false;
        offset = end;
    }
    position.QuadPart = size;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// Opens the file for writing and has `writeText` fill it. Once the open has
// emptied the file, any failure puts the original bytes back.
template <typename WriteText>
TranscodeResult Rewrite(const wchar_t* path, WriteText writeText, const char* original, int size)
{
    UniqueFile file = OpenForRewrite(path);
    if (!file)
        return TranscodeResult::WriteFailed;
    if (writeText(file.Get())) {
        // Closing flushes what the system still buffers: it can fail too.
        if (file.Close())
            return TranscodeResult::Converted;
        file.Reset(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    if (file)
        WriteBack(file.Get(), original, static_cast<DWORD>(size));
    return TranscodeResult::WriteFailed;
}

TranscodeResult FromConversion(AnsiConversionStatus status)
{
    switch (status) {
    case AnsiConversionStatus::Converted: return TranscodeResult::Converted;
    case AnsiConversionStatus::NotUtf8: return TranscodeResult::NotUtf8;
    case AnsiConversionStatus::OutOfMemory: return TranscodeResult::OutOfMemory;
    }
    return TranscodeResult::OutOfMemory;
}

} // namespace

TranscodeResult TranscodeFile(const wchar_t* path, int size, bool removeCharset)
{
    if (size <= 0)
        return TranscodeResult::OpenFailed;
    // Every open, the reopens for the rewrite included, takes the long form.
    const std::wstring target = FileSystemPath(path);
    HANDLE heap = GetProgramHeap(ProgramHeap::Conversion);

    // size + 1 bytes: room for the byte that tells a grown file. The source
    // keeps the original bytes until the rewrite is done, for the write-back.
    HeapBlock source = HeapBlock::Allocate(heap, static_cast<SIZE_T>(size) + 1);
    if (!source)
        return TranscodeResult::OutOfMemory;
    if (!ReadWhole(target.c_str(), source.As<char>(), static_cast<DWORD>(size)))
        return TranscodeResult::OpenFailed;

    const char* text = source.As<char>();
    int length = size;
    if (length >= 3 && std::equal(kByteOrderMark, kByteOrderMark + 3, reinterpret_cast<const unsigned char*>(text))) {
        text += 3;
        length -= 3;
    }

    AnsiCheck check = CheckUtf8ForAnsi(text, length);
    if (check == AnsiCheck::NotUtf8)
        return TranscodeResult::NotUtf8;

    if (check == AnsiCheck::Pieces && !removeCharset) {
        // The converted text goes out a piece at a time, so no buffer of its
        // size is taken: fresh memory is slow to come by, and the file's own
        // bytes already fill one buffer of that size.
        HeapBlock piece = HeapBlock::Allocate(heap, static_cast<SIZE_T>(std::min(length, kPieceSize)));
        if (!piece)
            return TranscodeResult::OutOfMemory;
        auto writePieces = [&](HANDLE file) {
            for (int done = 0; done < length;) {
                int wholeCharacters = WholeCharactersIn(text + done, length - done, kPieceSize);
                int converted = ConvertUtf8PieceToAnsi(text + done, wholeCharacters, piece.As<char>());
                if (wholeCharacters <= 0 || converted < 0 ||
                    !WriteAll(file, piece.As<char>(), static_cast<DWORD>(converted)))
                    return false;
                done += wholeCharacters;
            }
            return true;
        };
        return Rewrite(target.c_str(), writePieces, source.As<char>(), size);
    }

    // The charset declaration is cut from the whole converted text.
    AnsiConversion ansi = ConvertUtf8ToAnsi(text, length, heap);
    if (ansi.status != AnsiConversionStatus::Converted)
        return FromConversion(ansi.status);
    if (removeCharset)
        ansi.length = RemoveCharsetDeclaration(ansi.text.As<char>(), ansi.length);
    auto writeWhole = [&](HANDLE file) {
        return WriteAll(file, ansi.text.As<char>(), static_cast<DWORD>(ansi.length));
    };
    return Rewrite(target.c_str(), writeWhole, source.As<char>(), size);
}
