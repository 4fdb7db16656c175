// Decode benchmark: converting files in place against the floor of any
// in-place rewrite, a plain read of each file and write-back of its bytes,
// both measured in the same run, interleaved.
//
//   decode_bench <folder>           makes the corpus in <folder>, measures,
//                                   and leaves the corpus there in UTF-8
//   decode_bench --peak <file>      converts one file and prints the peak
//                                   working set it took, per byte of file
//
// Every figure is printed on a line of its own as `name: value`.
#include "decode/transcode_file.h"
#include "decode/utf8_to_ansi.h"

#include "base/unique_handle.h"

#include "bench/bench_clock.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t kLargeSize = 256u << 20;
constexpr int kSmallFolders = 20;
constexpr int kSmallSubfolders = 10;
constexpr int kSmallFilesPerFolder = 100; // 20,000 files in all
constexpr size_t kSmallSize = 4096;
constexpr int kLargeRounds = 3;
constexpr size_t kSmallBatch = 500;

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

bool WriteWhole(const std::wstring& path, const std::string& bytes)
{
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The floor: read the whole file into a buffer of its size and write the
// same bytes back over it, opening it the way the conversion does.
bool ReadAndWriteBack(const std::wstring& path, int size)
{
    HeapBlock buffer = HeapBlock::Allocate(GetProcessHeap(), static_cast<SIZE_T>(size) + 1);
    DWORD done = 0;
    {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !ReadFile(file.Get(), buffer.Get(), static_cast<DWORD>(size), &done, nullptr) ||
            done != static_cast<DWORD>(size))
            return false;
    }
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteFile(file.Get(), buffer.Get(), static_cast<DWORD>(size), &done, nullptr) &&
           done == static_cast<DWORD>(size) && file.Close();
}

struct CorpusFile {
    std::wstring path;
    std::string bytes;
};

struct Pass {
    double seconds = 0;
    bool ok = true;
};

Pass Convert(const std::vector<CorpusFile>& files)
{
    Pass pass;
    double start = BenchSeconds();
    for (const CorpusFile& file : files)
        pass.ok &= TranscodeFile(file.path.c_str(), false) == TranscodeResult::Converted;
    pass.seconds = BenchSeconds() - start;
    return pass;
}

Pass Floor(const std::vector<CorpusFile>& files)
{
    Pass pass;
    double start = BenchSeconds();
    for (const CorpusFile& file : files)
        pass.ok &= ReadAndWriteBack(file.path, static_cast<int>(file.bytes.size()));
    pass.seconds = BenchSeconds() - start;
    return pass;
}

bool Restore(const std::vector<CorpusFile>& files)
{
    bool ok = true;
    for (const CorpusFile& file : files)
        ok &= WriteWhole(file.path, file.bytes);
    return ok;
}

struct Figures {
    double convert = 0; // seconds in all
    double floor = 0;
    bool ok = true;
};

// Interleaved in small batches, so that both passes meet the same state of
// a shared machine, and each right after the batch has been written back in
// UTF-8 (not timed), so that both find the same files in the same state.
Figures Measure(const std::vector<CorpusFile>& files, int rounds, size_t batchSize)
{
    Figures figures;
    for (int round = 0; round < rounds; ++round) {
        for (size_t first = 0; first < files.size(); first += batchSize) {
            std::vector<CorpusFile> batch(files.begin() + static_cast<ptrdiff_t>(first),
                                          files.begin() +
                                              static_cast<ptrdiff_t>(std::min(files.size(), first + batchSize)));
            figures.ok &= Restore(batch);
            Pass floor = Floor(batch);
            figures.ok &= Restore(batch);
            Pass convert = Convert(batch);
            figures.ok &= floor.ok && convert.ok;
            figures.floor += floor.seconds;
            figures.convert += convert.seconds;
        }
    }
    figures.floor /= rounds;
    figures.convert /= rounds;
    return figures;
}

void Print(const char* name, double value)
{
    std::printf("%s: %.3f\n", name, value);
}

size_t TotalBytes(const std::vector<CorpusFile>& files)
{
    size_t total = 0;
    for (const CorpusFile& file : files)
        total += file.bytes.size();
    return total;
}

// Runs this program again to convert one file, so that the peak working set
// belongs to that conversion alone.
double PeakPerByte(const std::wstring& path)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --peak \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    UniqueKernelHandle process(info.hProcess);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code / 1000.0; // the child answers in thousandths
}

int PeakChild(const wchar_t* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    PROCESS_MEMORY_COUNTERS before{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    TranscodeFile(path, false);
    PROCESS_MEMORY_COUNTERS after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    double perByte = static_cast<double>(after.PeakWorkingSetSize - before.WorkingSetSize) / data.nFileSizeLow;
    return static_cast<int>(perByte * 1000.0);
}

// The conversion alone, in memory: the table against measure-then-convert
// through the platform, the way a text would be converted without it.
void CompareInMemory(const std::string& text)
{
    // The table is built at the first conversion of a process, once.
    ConvertUtf8ToAnsi(text.data(), 4096, GetProcessHeap());
    double start = BenchSeconds();
    AnsiConversion fast = ConvertUtf8ToAnsi(text.data(), static_cast<int>(text.size()), GetProcessHeap());
    double fastSeconds = BenchSeconds() - start;
    fast.text.Free();
    start = BenchSeconds();
    AnsiConversion platform =
        ConvertUtf8ToAnsiThroughPlatform(text.data(), static_cast<int>(text.size()), GetProcessHeap());
    double platformSeconds = BenchSeconds() - start;
    double megabytes = static_cast<double>(text.size()) / (1 << 20);
    Print("decode-memory-table-mb-per-s", megabytes / fastSeconds);
    Print("decode-memory-platform-mb-per-s", megabytes / platformSeconds);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wstring_view(argv[1]) == L"--peak")
        return PeakChild(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: decode_bench <folder> | --peak <file>\n");
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

    Figures largeFigures = Measure(large, kLargeRounds, 1);
    double largeMegabytes = static_cast<double>(TotalBytes(large)) / (1 << 20);
    Print("decode-large-convert-mb-per-s", largeMegabytes / largeFigures.convert);
    Print("decode-large-floor-mb-per-s", largeMegabytes / largeFigures.floor);
    Print("decode-large-ratio", largeFigures.floor / largeFigures.convert);

    Figures smallFigures = Measure(small, 1, kSmallBatch);
    double smallMegabytes = static_cast<double>(TotalBytes(small)) / (1 << 20);
    double count = static_cast<double>(small.size());
    Print("decode-small-convert-files-per-s", count / smallFigures.convert);
    Print("decode-small-convert-mb-per-s", smallMegabytes / smallFigures.convert);
    Print("decode-small-floor-files-per-s", count / smallFigures.floor);
    Print("decode-small-floor-mb-per-s", smallMegabytes / smallFigures.floor);
    Print("decode-small-ratio", smallFigures.floor / smallFigures.convert);

    bool restored = Restore(large);
    Print("decode-peak-memory-per-byte", PeakPerByte(large[0].path));

    // Leave the corpus in UTF-8 for the comparison that follows.
    restored &= Restore(large) && Restore(small);
    if (!largeFigures.ok || !smallFigures.ok || !restored) {
        std::fprintf(stderr, "decode_bench: a conversion or a rewrite failed\n");
        return 1;
    }
    return 0;
}
