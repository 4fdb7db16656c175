#include "decode/transcode_file.h"

#include "base/file_system_path.h"
#include "base/long_work.h"
#include "base/program_heaps.h"
#include "base/unique_handle.h"
#include "decode/charset_removal.h"
#include "decode/utf8_to_ansi.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace {

constexpr unsigned char kByteOrderMark[] = {0xEF, 0xBB, 0xBF};

// The converted text is written in pieces of at most this many bytes.
constexpr int kPieceSize = 1 << 20;

// Reading, checking and writing a large file go in steps of at most this
// many bytes, with a check-in between two steps, so that the window is
// never kept waiting for long.
constexpr int kStepSize = 4 << 20;

// Sizes are signed 32-bit counts: a file must be smaller than 2^31 bytes.
constexpr LONGLONG kSizeLimit = 0x80000000LL;

enum class ReadOutcome { Read, Failed, OutOfMemory };

// Reads the whole file into `source`, taken at the size of the opened file
// plus one byte. The size comes from the open file, not from its folder
// entry, which on NTFS can be stale (a file changed through another hard
// link keeps its old size in this link's entry until it is opened). One
// byte more than that size is asked for, so that a file that has grown since
// the open shows itself; only exactly `size` bytes count as read.
ReadOutcome ReadWhole(const wchar_t* path, HANDLE heap, HeapBlock& source, DWORD& size)
{
    UniqueFile file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER fileSize;
    if (!file || !GetFileSizeEx(file.Get(), &fileSize) || fileSize.QuadPart <= 0 || fileSize.QuadPart >= kSizeLimit)
        return ReadOutcome::Failed;
    size = static_cast<DWORD>(fileSize.QuadPart);
    // The source keeps the original bytes until the rewrite is done, for the
    // write-back.
    source = HeapBlock::Allocate(heap, static_cast<SIZE_T>(size) + 1);
    if (!source)
        return ReadOutcome::OutOfMemory;
    char* buffer = source.As<char>();
    DWORD wanted = size + 1;
    DWORD total = 0;
    while (total < wanted) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer + total, std::min<DWORD>(wanted - total, kStepSize), &got, nullptr))
            return ReadOutcome::Failed;
        if (got == 0)
            break;
        total += got;
        LongWorkCheckIn();
    }
    return total == size ? ReadOutcome::Read : ReadOutcome::Failed;
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

// The name part of a path: what follows its last separator.
std::wstring_view NamePart(std::wstring_view path)
{
    size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

// Saves the original bytes in a new file in the user's temporary folder,
// named after the file: "page.htm", or "page (2).htm" and so on when that
// name is taken, for no other file is ever overwritten. Its path goes to
// `savedAs`; false when no such file could be written whole.
bool SaveAside(const wchar_t* path, const char* original, DWORD size, std::wstring& savedAs) noexcept
{
    try {
        wchar_t folder[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, folder);
        if (length == 0 || length > MAX_PATH)
            return false;
        std::wstring_view name = NamePart(path);
        size_t dot = name.find_last_of(L'.');
        if (dot == 0 || dot == std::wstring_view::npos)
            dot = name.size();
        for (int copy = 1; copy < 1000; ++copy) {
            std::wstring candidate(folder, length);
            candidate.append(name.substr(0, dot));
            if (copy > 1)
                candidate.append(L" (").append(std::to_wstring(copy)).append(L")");
            candidate.append(name.substr(dot));
            const std::wstring target = FileSystemPath(candidate);
            UniqueFile file(
                CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) {
                DWORD error = GetLastError();
                if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                    continue;
                return false;
            }
            if (!WriteAll(file.Get(), original, size) || !file.Close()) {
                file.Reset();
                DeleteFileW(target.c_str());
                return false;
            }
            savedAs = std::move(candidate);
            return true;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

// What one step of a rewrite left to do.
enum class WriteStep { More, Done, Failed };

// Opens the file for writing and has `writeNextStep` fill it a step at a
// time, checking in between steps. Once the open has emptied the file, any
// failure puts the original bytes back; where even that fails they are saved
// aside, so that they are never lost in silence. Should the session end meanwhile,
// the rest of the rewrite is done inside the handling of that message, and
// no rewrite begins after it.
template <typename WriteNextStep>
TranscodeResult Rewrite(const wchar_t* path, WriteNextStep writeNextStep, const char* original, DWORD size,
                        std::wstring* savedAs)
{
    if (LongWorkStopRequested() == LongWorkStop::SessionEnd)
        return TranscodeResult::Stopped;
    UniqueFile file = OpenForRewrite(path);
    if (!file)
        return TranscodeResult::WriteFailed;

    WriteStep state = WriteStep::More;
    bool putBack = false; // by the session's end; not twice
    bool restored = false;
    auto finish = [&] {
        while (state == WriteStep::More)
            state = writeNextStep(file.Get());
        if (state == WriteStep::Failed) {
            restored = WriteBack(file.Get(), original, size);
            putBack = true;
        }
    };
    {
        LongWorkRewriteInHand inHand([](void* context) { (*static_cast<decltype(finish)*>(context))(); }, &finish);
        while (state == WriteStep::More) {
            state = writeNextStep(file.Get());
            if (state == WriteStep::More)
                LongWorkCheckIn();
        }
    }
    if (state == WriteStep::Done) {
        // Closing flushes what the system still buffers: it can fail too.
        if (file.Close())
            return TranscodeResult::Converted;
        file.Reset(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    if (!putBack)
        restored = file && WriteBack(file.Get(), original, size);
    if (restored && file.Close())
        return TranscodeResult::WriteFailed;
    file.Reset();
    std::wstring recovery;
    if (!SaveAside(path, original, size, recovery))
        return TranscodeResult::WriteFailedNotSaved;
    if (savedAs)
        *savedAs = std::move(recovery);
    return TranscodeResult::WriteFailedSavedAside;
}

// The length of the longest start of the text, at most `wanted` bytes, that
// ends before a byte that begins a character (or at the text's end).
int StepEndingOnCharacter(const char* text, int length, int wanted)
{
    if (wanted >= length)
        return length;
    int end = wanted;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

// IsUtf8 a step at a time. The steps end before a byte that is not a
// continuation byte, so a valid text splits into valid steps, and a text
// whose steps are all valid is valid as a whole.
bool IsUtf8InSteps(const char* text, int length)
{
    for (int done = 0; done < length;) {
        int step = StepEndingOnCharacter(text + done, length - done, kStepSize);
        if (step <= 0) // a run of continuation bytes: not UTF-8 anyway
            step = std::min(kStepSize, length - done);
        if (!IsUtf8(text + done, step))
            return false;
        done += step;
        if (done < length)
            LongWorkCheckIn();
    }
    return true;
}

// Whether the converted text would be the file's text as it stands, found
// out a piece at a time and given up at the first difference. Such a file is
// not opened for writing: nothing can be lost and its timestamps stay. The
// state moves on only when the answer is yes.
bool ConvertsToItself(AnsiConversionState& state, const char* text, int length, char* piece, int room)
{
    // Small pieces: most files differ within the first few characters.
    constexpr int kComparedPiece = 64 * 1024;
    AnsiConversionState trial = state;
    int written = 0;
    for (int done = 0; done < length;) {
        int converted = ConvertUtf8PieceToAnsi(trial, text, length, &done, piece, std::min(room, kComparedPiece));
        if (converted < 0 || converted > length - written ||
            std::memcmp(piece, text + written, static_cast<size_t>(converted)) != 0)
            return false;
        written += converted;
        if (done < length)
            LongWorkCheckIn();
    }
    if (written != length)
        return false;
    state = trial;
    return true;
}

// The whole converted text, for the charset cut, a step at a time. Without
// references it is never longer than the original; with them its length is
// measured first.
AnsiConversion ConvertInSteps(AnsiConversionState& state, const char* text, int length, HANDLE heap)
{
    AnsiConversion ansi;
    LONGLONG capacity = static_cast<LONGLONG>(length) + kAnsiPieceSlack;
    if (state.references) {
        constexpr int kScratch = 64 * 1024;
        HeapBlock scratch = HeapBlock::Allocate(heap, kScratch);
        if (!scratch)
            return ansi;
        AnsiConversionState measuring = state;
        capacity = kAnsiPieceSlack;
        for (int done = 0; done < length;) {
            int converted = ConvertUtf8PieceToAnsi(measuring, text, length, &done, scratch.As<char>(), kScratch);
            if (converted < 0)
                return ansi;
            capacity += converted;
            LongWorkCheckIn();
        }
    }
    // Counts are signed 32-bit: a text that grows past them cannot be held.
    if (capacity > 0x7FFFFFFF)
        return ansi;
    ansi.text = HeapBlock::Allocate(heap, static_cast<SIZE_T>(capacity));
    if (!ansi.text)
        return ansi;
    for (int done = 0; done < length;) {
        LONGLONG room = std::min<LONGLONG>(capacity - ansi.length, kStepSize);
        int converted = room > kAnsiPieceSlack
                            ? ConvertUtf8PieceToAnsi(state, text, length, &done, ansi.text.As<char>() + ansi.length,
                                                     static_cast<int>(room))
                            : -1;
        if (converted < 0) {
            ansi.text.Free();
            ansi.length = 0;
            return ansi;
        }
        ansi.length += converted;
        LongWorkCheckIn();
    }
    ansi.status = AnsiConversionStatus::Converted;
    return ansi;
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

TranscodeResult TranscodeFile(const wchar_t* path, bool removeCharset, std::wstring* savedAs, bool writeReferences,
                              ReplacedCharacters* replaced)
{
    if (replaced)
        *replaced = ReplacedCharacters{};
    // Every open, the reopens for the rewrite included, takes the long form.
    const std::wstring target = FileSystemPath(path);
    HANDLE heap = GetProgramHeap(ProgramHeap::Conversion);
    HeapBlock source;
    DWORD size = 0;
    switch (ReadWhole(target.c_str(), heap, source, size)) {
    case ReadOutcome::Read: break;
    case ReadOutcome::Failed: return TranscodeResult::OpenFailed;
    case ReadOutcome::OutOfMemory: return TranscodeResult::OutOfMemory;
    }

    const char* text = source.As<char>();
    int length = static_cast<int>(size);
    const bool byteOrderMark =
        length >= 3 && std::equal(kByteOrderMark, kByteOrderMark + 3, reinterpret_cast<const unsigned char*>(text));
    if (byteOrderMark) {
        text += 3;
        length -= 3;
    }
    if (!IsUtf8InSteps(text, length))
        return TranscodeResult::NotUtf8;

    AnsiConversionState state;
    state.references = writeReferences;
    TranscodeResult result = TranscodeResult::Converted;
    if (!removeCharset) {
        // The converted text goes out a piece at a time, so no buffer of its
        // size is taken: fresh memory is slow to come by, and the file's own
        // bytes already fill one buffer of that size. References can make a
        // piece's text longer than the part of the file it came from.
        const int room =
            static_cast<int>(std::min<LONGLONG>(static_cast<LONGLONG>(length) + kAnsiPieceSlack, kPieceSize));
        HeapBlock piece = HeapBlock::Allocate(heap, static_cast<SIZE_T>(room));
        if (!piece)
            return TranscodeResult::OutOfMemory;
        if (!byteOrderMark && ConvertsToItself(state, text, length, piece.As<char>(), room)) {
            if (replaced)
                *replaced = state.replaced;
            return TranscodeResult::Converted;
        }
        int done = 0;
        auto writePiece = [&](HANDLE file) {
            if (done >= length)
                return WriteStep::Done;
            int converted = ConvertUtf8PieceToAnsi(state, text, length, &done, piece.As<char>(), room);
            if (converted < 0 || !WriteAll(file, piece.As<char>(), static_cast<DWORD>(converted)))
                return WriteStep::Failed;
            return done < length ? WriteStep::More : WriteStep::Done;
        };
        result = Rewrite(target.c_str(), writePiece, source.As<char>(), size, savedAs);
    } else {
        // The charset declaration is cut from the whole converted text.
        AnsiConversion ansi = ConvertInSteps(state, text, length, heap);
        if (ansi.status != AnsiConversionStatus::Converted)
            return FromConversion(ansi.status);
        ansi.length = RemoveCharsetDeclaration(ansi.text.As<char>(), ansi.length);
        if (byteOrderMark || ansi.length != length || std::memcmp(ansi.text.Get(), text, static_cast<size_t>(length))) {
            int written = 0;
            auto writeStep = [&](HANDLE file) {
                int step = std::min(ansi.length - written, kStepSize);
                if (step > 0 && !WriteAll(file, ansi.text.As<char>() + written, static_cast<DWORD>(step)))
                    return WriteStep::Failed;
                written += step;
                return written < ansi.length ? WriteStep::More : WriteStep::Done;
            };
            result = Rewrite(target.c_str(), writeStep, source.As<char>(), size, savedAs);
        }
    }
    if (replaced && result == TranscodeResult::Converted)
        *replaced = state.replaced;
    return result;
}
