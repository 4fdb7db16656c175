// Decode benchmark: converting files in place against the floor of any
// in-place rewrite, a plain read of each file and a write of as many bytes
// as the conversion writes, opened the way the conversion opens it. Both are
// measured in the same run, interleaved, in alternating order, each pass
// finding the files in UTF-8; every conversion's file is checked afterwards.
//
//   decode_bench <folder>    makes the corpus in <folder>, measures, and
//                            leaves the corpus there in UTF-8
//   decode_bench --peak <file> [--references] [--charset]
//                            converts one file; the exit code is the peak
//                            working set it took per byte of file, in
//                            thousandths, or 0 when it could not be measured
//
// Every figure is printed on a line of its own as `name: value`; a figure
// that could not be had is printed as `name: error: what failed`, and the
// program then exits with 1 after printing everything else.
#include "decode/charset_removal.h"
#include "decode/transcode_file.h"
#include "decode/utf8_to_ansi.h"

#include "base/unique_handle.h"

#include "bench/bench_clock.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kLargeSize = 256u << 20;
constexpr int kSmallFolders = 20;
constexpr int kSmallSubfolders = 10;
constexpr int kSmallFilesPerFolder = 100; // 20,000 files in all
constexpr size_t kSmallSize = 4096;
constexpr int kLargeRounds = 4; // best of; floor first in two, conversion first in two
constexpr int kMemoryRounds = 5;
constexpr size_t kSmallBatch = 500;
constexpr DWORD kWritePiece = 1 << 20; // as the conversion writes

// xorshift: the corpus is the same in every run.
struct Random {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 32);
    }
    bool Chance(uint32_t perThousand) { return Next() % 1000 < perThousand; }
};

const char* const kAccented[] = {"\xC3\xA9", "\xC3\xA8", "\xC3\xBC", "\xC3\xB6", "\xC3\xA4", "\xC3\xB1",
                                 "\xC3\xA7", "\xC3\xA0", "\xC3\xAA", "\xC3\xA5", "\xC3\xB8", "\xC3\x89"};
const char* const kCjk[] = {"\xE4\xB8\xAD", "\xE6\x96\x87", "\xE6\x97\xA5", "\xE6\x9C\xAC", "\xE8\xAA\x9E",
                            "\xE5\xAD\x97", "\xE3\x81\x82", "\xE3\x82\xA2", "\xED\x95\x9C", "\xEA\xB8\x80"};

// HTML-like text: paragraphs of words, about 5% of letters accented Latin
// ones, and now and then a few CJK characters.
std::string MakeHtmlText(size_t size, Random& random)
{
    std::string text;
    text.reserve(size + 256);
    while (text.size() < size) {
        text += random.Chance(100) ? "<p class=\"note\"><a href=\"page.html#x\">" : "<p>";
        int words = 20 + static_cast<int>(random.Next() % 60);
        for (int w = 0; w < words; ++w) {
            if (random.Chance(5)) {
                int count = 2 + static_cast<int>(random.Next() % 5);
                for (int k = 0; k < count; ++k)
                    text += kCjk[random.Next() % std::size(kCjk)];
            } else {
                int letters = 2 + static_cast<int>(random.Next() % 8);
                for (int k = 0; k < letters; ++k) {
                    if (random.Chance(50))
                        text += kAccented[random.Next() % std::size(kAccented)];
                    else
                        text += static_cast<char>('a' + random.Next() % 26);
                }
            }
            text += w + 1 < words ? " " : ".";
        }
        text += "</p>\r\n";
    }
    // End on a whole character, below the size asked for.
    size_t end = size;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

// FNV-1a over 8-byte words: enough to tell a file from the one expected.
uint64_t Hash(std::string_view bytes)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    size_t k = 0;
    for (; k + 8 <= bytes.size(); k += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + k, 8);
        hash = (hash ^ word) * 0x100000001B3ull;
    }
    for (; k < bytes.size(); ++k)
        hash = (hash ^ static_cast<uint8_t>(bytes[k])) * 0x100000001B3ull;
    return hash ^ bytes.size();
}

bool WriteWhole(const std::wstring& path, const std::string& bytes)
{
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ReadAll(const std::wstring& path, std::string& bytes)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart >= 0x7FFFFFFF)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
}

// The floor: read the whole file into a buffer of its size plus one, as the
// conversion does, and write `written` bytes over it in pieces of the
// conversion's size, taken from what was read (again from its start when
// references make the text longer).
bool ReadAndWrite(const std::wstring& path, int size, int written)
{
    HeapBlock buffer = HeapBlock::Allocate(GetProcessHeap(), static_cast<SIZE_T>(size) + 1);
    if (!buffer)
        return false;
    DWORD done = 0;
    {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !ReadFile(file.Get(), buffer.Get(), static_cast<DWORD>(size) + 1, &done, nullptr) ||
            done != static_cast<DWORD>(size))
            return false;
    }
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    for (DWORD total = 0, offset = 0; total < static_cast<DWORD>(written);) {
        DWORD piece = std::min({kWritePiece, static_cast<DWORD>(written) - total, static_cast<DWORD>(size) - offset});
        if (!WriteFile(file.Get(), buffer.As<char>() + offset, piece, &done, nullptr) || done != piece)
            return false;
        total += piece;
        offset = (offset + piece) % static_cast<DWORD>(size);
    }
    return file.Close();
}

struct Variant {
    const char* name; // "" for the plain conversion
    bool removeCharset;
    bool references;
};

struct CorpusFile {
    std::wstring path;
    std::string bytes;
    // What the variant measured now leaves in the file.
    int expectedLength = 0;
    uint64_t expectedHash = 0;
};

// What the conversion should write, found without the file: the platform's
// conversion, or the program's own with references (the conversion tests
// hold it to the platform's bytes), then the charset cut.
bool ExpectConversion(CorpusFile& file, const Variant& variant)
{
    const char* text = file.bytes.data();
    int length = static_cast<int>(file.bytes.size());
    if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3;
        length -= 3;
    }
    AnsiConversionState state;
    state.references = variant.references;
    AnsiConversion converted = variant.references ? ConvertUtf8ToAnsi(text, length, GetProcessHeap(), &state)
                                                  : ConvertUtf8ToAnsiThroughPlatform(text, length, GetProcessHeap());
    if (converted.status != AnsiConversionStatus::Converted)
        return false;
    if (variant.removeCharset)
        converted.length = RemoveCharsetDeclaration(converted.text.As<char>(), converted.length);
    file.expectedLength = converted.length;
    file.expectedHash = Hash({converted.text.As<char>(), static_cast<size_t>(converted.length)});
    return true;
}

bool Restore(const std::vector<CorpusFile>& files)
{
    bool ok = true;
    for (const CorpusFile& file : files)
        ok &= WriteWhole(file.path, file.bytes);
    return ok;
}

struct Pass {
    double seconds = 0;
    bool ok = true;
};

Pass Convert(const std::vector<CorpusFile>& files, const Variant& variant)
{
    Pass pass;
    double start = BenchSeconds();
    for (const CorpusFile& file : files)
        pass.ok &= TranscodeFile(file.path.c_str(), variant.removeCharset, nullptr, variant.references) ==
                   TranscodeResult::Converted;
    pass.seconds = BenchSeconds() - start;
    return pass;
}

Pass Floor(const std::vector<CorpusFile>& files)
{
    Pass pass;
    double start = BenchSeconds();
    for (const CorpusFile& file : files)
        pass.ok &= ReadAndWrite(file.path, static_cast<int>(file.bytes.size()), file.expectedLength);
    pass.seconds = BenchSeconds() - start;
    return pass;
}

// Untimed: every file holds what the conversion should have written.
bool HoldConversion(const std::vector<CorpusFile>& files)
{
    std::string bytes;
    for (const CorpusFile& file : files)
        if (!ReadAll(file.path, bytes) || static_cast<int>(bytes.size()) != file.expectedLength ||
            Hash(bytes) != file.expectedHash)
            return false;
    return true;
}

struct Figures {
    double convert = 0; // seconds: the best round, or the sum over batches
    double floor = 0;
    std::string error; // empty when every pass succeeded and was checked
};

void Fail(Figures& figures, const char* what)
{
    if (figures.error.empty())
        figures.error = what;
}

// Interleaved in batches, each pass right after the batch has been written
// back in UTF-8 (not timed), so that both find the same files in the same
// state; which goes first alternates from batch to batch and round to round.
// With one batch per round the best round counts, otherwise the sum of one
// round.
Figures Measure(std::vector<CorpusFile>& files, const Variant& variant, int rounds, size_t batchSize)
{
    Figures figures;
    for (CorpusFile& file : files)
        if (!ExpectConversion(file, variant))
            Fail(figures, "the expected text could not be made in memory");
    if (!figures.error.empty())
        return figures;
    const bool best = files.size() <= batchSize;
    figures.convert = figures.floor = best ? 1e30 : 0;
    int turn = 0;
    for (int round = 0; round < rounds; ++round) {
        double convertSum = 0, floorSum = 0;
        for (size_t first = 0; first < files.size(); first += batchSize, ++turn) {
            std::vector<CorpusFile> batch(files.begin() + static_cast<ptrdiff_t>(first),
                                          files.begin() +
                                              static_cast<ptrdiff_t>(std::min(files.size(), first + batchSize)));
            Pass floor, convert;
            for (int step = 0; step < 2; ++step) {
                if (!Restore(batch))
                    Fail(figures, "the corpus could not be written back in UTF-8");
                if ((step == 0) == (turn % 2 == 0)) {
                    floor = Floor(batch);
                    if (!floor.ok)
                        Fail(figures, "a floor read or write failed");
                } else {
                    convert = Convert(batch, variant);
                    if (!convert.ok)
                        Fail(figures, "a conversion did not give Converted");
                    else if (!HoldConversion(batch))
                        Fail(figures, "a converted file does not hold the expected bytes");
                }
            }
            convertSum += convert.seconds;
            floorSum += floor.seconds;
        }
        if (best) {
            figures.convert = std::min(figures.convert, convertSum);
            figures.floor = std::min(figures.floor, floorSum);
        } else {
            figures.convert += convertSum;
            figures.floor += floorSum;
        }
    }
    if (!Restore(files))
        Fail(figures, "the corpus could not be written back in UTF-8");
    return figures;
}

bool failed = false;

void Print(const std::string& name, double value)
{
    std::printf("%s: %.3f\n", name.c_str(), value);
}

void PrintError(const std::string& name, const std::string& what)
{
    std::printf("%s: error: %s\n", name.c_str(), what.c_str());
    failed = true;
}

size_t TotalBytes(const std::vector<CorpusFile>& files)
{
    size_t total = 0;
    for (const CorpusFile& file : files)
        total += file.bytes.size();
    return total;
}

// `prefix` is "decode-large" or "decode-small"; the variant's name follows.
void PrintFigures(const std::string& prefix, const Variant& variant, const Figures& figures,
                  const std::vector<CorpusFile>& files)
{
    std::string name = prefix + (*variant.name ? "-" : "") + variant.name;
    if (!figures.error.empty()) {
        PrintError(name + "-ratio", figures.error);
        return;
    }
    double megabytes = static_cast<double>(TotalBytes(files)) / (1 << 20);
    Print(name + "-convert-seconds", figures.convert);
    Print(name + "-floor-seconds", figures.floor);
    Print(name + "-convert-mb-per-s", megabytes / figures.convert);
    Print(name + "-floor-mb-per-s", megabytes / figures.floor);
    if (files.size() > 1) {
        double count = static_cast<double>(files.size());
        Print(name + "-convert-files-per-s", count / figures.convert);
        Print(name + "-floor-files-per-s", count / figures.floor);
    }
    Print(name + "-ratio", figures.floor / figures.convert);
}

// Runs this program again to convert one file, so that the peak working set
// belongs to that conversion alone. Negative when it could not be measured.
double PeakPerByte(const std::wstring& path, const Variant& variant)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --peak \"" + path + L"\"";
    if (variant.references)
        command += L" --references";
    if (variant.removeCharset)
        command += L" --charset";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    UniqueKernelHandle process(info.hProcess);
    DWORD code = 0;
    if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.Get(), &code) ||
        code == 0)
        return -1;
    return code / 1000.0; // the child answers in thousandths
}

int PeakChild(int argc, wchar_t** argv)
{
    const wchar_t* path = argv[2];
    bool references = false, removeCharset = false;
    for (int k = 3; k < argc; ++k) {
        references |= std::wstring_view(argv[k]) == L"--references";
        removeCharset |= std::wstring_view(argv[k]) == L"--charset";
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || data.nFileSizeHigh || !data.nFileSizeLow) {
        std::fprintf(stderr, "decode_bench --peak: the file cannot be asked about\n");
        return 0;
    }
    PROCESS_MEMORY_COUNTERS before{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before))
        return 0;
    TranscodeResult result = TranscodeFile(path, removeCharset, nullptr, references);
    PROCESS_MEMORY_COUNTERS after{};
    if (result != TranscodeResult::Converted || !GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after)) {
        std::fprintf(stderr, "decode_bench --peak: the conversion failed\n");
        return 0;
    }
    double perByte = static_cast<double>(after.PeakWorkingSetSize - before.WorkingSetSize) / data.nFileSizeLow;
    return std::max(1, static_cast<int>(perByte * 1000.0));
}

void PrintPeak(const std::string& name, std::vector<CorpusFile>& large, const Variant& variant)
{
    double peak = Restore(large) ? PeakPerByte(large[0].path, variant) : -1;
    if (peak < 0 || !Restore(large))
        PrintError(name, "the conversion in a process of its own could not be measured");
    else
        Print(name, peak);
}

// The in-memory work of a conversion without references, as the program
// does it: the validation walk, then the conversion a piece at a time, here
// into one buffer taken beforehand. Best of several rounds, each one's
// output compared with the platform's conversion; and the platform's own
// measure-then-convert, best of several too.
void CompareInMemory(const std::string& text)
{
    const int length = static_cast<int>(text.size());
    AnsiConversion expected = ConvertUtf8ToAnsiThroughPlatform(text.data(), length, GetProcessHeap());
    HeapBlock out = HeapBlock::Allocate(GetProcessHeap(), text.size() + kAnsiPieceSlack);
    if (expected.status != AnsiConversionStatus::Converted || !out) {
        PrintError("decode-memory-table-mb-per-s", "no memory for the expected text");
        return;
    }
    std::memset(out.Get(), 0, text.size()); // taken before the clock starts
    const std::string_view wanted(expected.text.As<char>(), static_cast<size_t>(expected.length));

    double best = 1e30;
    bool ok = true;
    for (int round = 0; round < kMemoryRounds; ++round) {
        double start = BenchSeconds();
        AnsiConversionState state;
        int written = 0;
        ok &= IsUtf8(text.data(), length);
        for (int done = 0; ok && done < length;) {
            int room = static_cast<int>(std::min<size_t>(1u << 20, text.size() + kAnsiPieceSlack - written));
            int produced = ConvertUtf8PieceToAnsi(state, text.data(), length, &done, out.As<char>() + written, room);
            ok &= produced >= 0;
            written += std::max(produced, 0);
        }
        best = std::min(best, BenchSeconds() - start);
        ok &= std::string_view(out.As<char>(), static_cast<size_t>(written)) == wanted;
    }
    out.Free();

    double platformBest = 1e30;
    bool platformOk = true;
    for (int round = 0; round < 3; ++round) {
        double start = BenchSeconds();
        AnsiConversion platform = ConvertUtf8ToAnsiThroughPlatform(text.data(), length, GetProcessHeap());
        platformBest = std::min(platformBest, BenchSeconds() - start);
        platformOk &= platform.status == AnsiConversionStatus::Converted &&
                      std::string_view(platform.text.As<char>(), static_cast<size_t>(platform.length)) == wanted;
    }

    double megabytes = static_cast<double>(text.size()) / (1 << 20);
    if (ok) {
        Print("decode-memory-table-seconds", best);
        Print("decode-memory-table-mb-per-s", megabytes / best);
    } else {
        PrintError("decode-memory-table-mb-per-s", "the conversion's bytes differ from the platform's");
    }
    if (platformOk) {
        Print("decode-memory-platform-seconds", platformBest);
        Print("decode-memory-platform-mb-per-s", megabytes / platformBest);
    } else {
        PrintError("decode-memory-platform-mb-per-s", "the platform's conversions differ");
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && std::wstring_view(argv[1]) == L"--peak")
        return PeakChild(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode_bench <folder> | --peak <file> [--references] [--charset]\n");
        return 2;
    }
    std::wstring folder = argv[1];
    CreateDirectoryW(folder.c_str(), nullptr);
    Random random;

    std::vector<CorpusFile> large(1);
    large[0].path = folder + L"\\large.html";
    large[0].bytes = MakeHtmlText(kLargeSize, random);

    std::vector<CorpusFile> small;
    std::string pool = MakeHtmlText(8u << 20, random);
    const std::string head = "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>\r\n";
    for (int a = 0; a < kSmallFolders; ++a) {
        std::wstring top = folder + L"\\d" + std::to_wstring(a);
        CreateDirectoryW(top.c_str(), nullptr);
        for (int b = 0; b < kSmallSubfolders; ++b) {
            std::wstring sub = top + L"\\s" + std::to_wstring(b);
            CreateDirectoryW(sub.c_str(), nullptr);
            for (int c = 0; c < kSmallFilesPerFolder; ++c) {
                size_t offset = random.Next() % (pool.size() - 2 * kSmallSize);
                while ((static_cast<unsigned char>(pool[offset]) & 0xC0) == 0x80)
                    ++offset;
                size_t end = offset + kSmallSize - head.size() - 16;
                while ((static_cast<unsigned char>(pool[end]) & 0xC0) == 0x80)
                    ++end;
                small.push_back({sub + L"\\page" + std::to_wstring(c) + L".html",
                                 head + pool.substr(offset, end - offset) + "\r\n</body></html>"});
            }
        }
    }

    CompareInMemory(large[0].bytes);

    const Variant plain{"", false, false};
    const Variant references{"references", false, true};
    const Variant charset{"charset", true, false};
    for (const Variant& variant : {plain, references, charset})
        PrintFigures("decode-large", variant, Measure(large, variant, kLargeRounds, 1), large);
    for (const Variant& variant : {plain, charset})
        PrintFigures("decode-small", variant, Measure(small, variant, 1, kSmallBatch), small);

    PrintPeak("decode-peak-memory-per-byte", large, plain);
    PrintPeak("decode-peak-memory-per-byte-references", large, references);
    PrintPeak("decode-peak-memory-per-byte-charset", large, charset);

    // Leave the corpus in UTF-8 for the comparison that follows.
    if (!Restore(large) || !Restore(small))
        PrintError("decode-corpus", "the corpus could not be left in UTF-8");
    std::fflush(stdout);
    return failed ? 1 : 0;
}
