// Long work benchmark: how long the main window keeps another thread waiting
// for an answer while the Decode run and the drop intake work, and what the
// progress display costs the run.
//
//   long_work_bench <corpus folder> <tree folder>
//
// The corpus folder is filled here: 20,000 files of 4 KiB in 200 folders and
// one of 256 MiB, all UTF-8. The tree folder holds 100,000 files in nested
// folders, made by bench/long_work/run. The program's own window, controls,
// Decode run and drop intake run here on this thread, as in the program; the
// window handles its messages in the long work's turns just as the event
// loop's turn does, and a second thread sends it WM_NULL all the while.
//
// Figures, each on a line of its own as `name: value`:
//   decode-responsiveness-max-ms   longest wait for an answer during the runs
//   intake-responsiveness-max-ms   the same during the drops of the tree, into
//                                  an empty list and into one of 50,000 entries
//   decode-progress-overhead       files per second with the progress display
//                                  divided by the same with it switched off
// A measurement that went wrong prints `error: <name>: <why>` instead, and
// the program ends with exit code 1.
#include "base/file_list.h"
#include "base/long_work.h"
#include "base/unique_handle.h"
#include "decode/decode_file_list.h"
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"
#include "ui/long_work_window.h"
#include "ui/main_window.h"

#include "bench/bench_clock.h"

#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kFolders = 200;
constexpr int kFilesPerFolder = 100; // 20,000 files
constexpr size_t kSmallSize = 4096;
constexpr size_t kLargeSize = 256u << 20;
constexpr int kTreeFiles = 100000;
constexpr int kEarlierEntries = 50000;
constexpr int kRoundsEach = 2;

bool failed = false;

void Fail(const char* figure, const wchar_t* why)
{
    wprintf(L"error: %hs: %ls\n", figure, why);
    failed = true;
}

// A UTF-8 text of `size` bytes with accented letters, different per `seed`.
std::string Utf8Text(size_t size, uint32_t seed)
{
    static const char* const kWords[] = {"caf\xC3\xA9",
                                         "cr\xC3\xA8me",
                                         "na\xC3\xAFve",
                                         "Stra\xC3\x9F"
                                         "e",
                                         "page",
                                         "text",
                                         "<p>",
                                         "</p>\n"};
    std::string text;
    text.reserve(size + 16);
    uint32_t state = seed * 2654435761u + 1;
    while (text.size() < size) {
        state = state * 1664525u + 1013904223u;
        text += kWords[(state >> 24) % std::size(kWords)];
        text += ' ';
    }
    // Cut on a character boundary: every word is whole up to its space.
    size_t cut = text.rfind(' ', size);
    text.resize(cut == std::string::npos ? 0 : cut);
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

LONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct CorpusFile {
    std::wstring path;
    uint32_t seed;
    size_t size;
};

std::vector<CorpusFile> CorpusFiles(const std::wstring& folder)
{
    std::vector<CorpusFile> files;
    files.push_back({folder + L"\\large.html", 0, kLargeSize});
    for (int f = 0; f < kFolders; ++f)
        for (int i = 0; i < kFilesPerFolder; ++i)
            files.push_back({folder + L"\\part" + std::to_wstring(f) + L"\\page" + std::to_wstring(i) + L".html",
                             static_cast<uint32_t>(f * kFilesPerFolder + i + 1), kSmallSize});
    return files;
}

// Puts the UTF-8 originals back (the run converts them in place).
bool WriteCorpus(const std::wstring& folder, const std::vector<CorpusFile>& files, const std::string& large)
{
    for (int f = 0; f < kFolders; ++f)
        CreateDirectoryW((folder + L"\\part" + std::to_wstring(f)).c_str(), nullptr);
    for (const CorpusFile& file : files)
        if (!WriteWhole(file.path, file.size == kLargeSize ? large : Utf8Text(file.size, file.seed)))
            return false;
    return true;
}

// The Decode run's closing box is read and dismissed the moment it comes:
// a hook on this thread notes the time and presses OK.
HHOOK boxHook = nullptr;
double boxShownAt = 0;
int boxesShown = 0;
wchar_t boxText[256] = L"";

LRESULT CALLBACK DismissBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t className[16] = L"";
        GetClassNameW(window, className, 16);
        if (wcscmp(className, L"#32770") == 0) {
            boxShownAt = BenchSeconds();
            ++boxesShown;
            GetDlgItemTextW(window, 0xFFFF, boxText, static_cast<int>(std::size(boxText)));
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

// The window's turn during long work: the event loop's, without its
// accelerators (nothing here presses keys).
void HandlePendingMessages()
{
    MSG message;
    for (int handled = 0; handled < 100 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void UseLongWorkWindow(bool withProgress)
{
    SetLongWorkWindow({EnterLongWorkInMainWindow, HandlePendingMessages, withProgress ? ShowLongWorkProgress : nullptr,
                       LeaveLongWorkInMainWindow});
}

// Sends WM_NULL to the window from a thread of its own, one after the other,
// and keeps the longest wait for an answer.
class AnswerProbe {
public:
    explicit AnswerProbe(HWND window) : thread_([this, window] { Run(window); }) {}
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;
    ~AnswerProbe() { Stop(); }

    // Stops the probe, handling this thread's messages until it has gone
    // (its last WM_NULL may still wait for an answer from here).
    void Stop()
    {
        stop_ = true;
        while (!done_) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            HandlePendingMessages();
        }
        if (thread_.joinable())
            thread_.join();
    }
    double LongestMs() const { return longest_; }
    int Answers() const { return answers_; }

private:
    void Run(HWND window)
    {
        while (!stop_) {
            double start = BenchSeconds();
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result))
                ++answers_;
            longest_ = std::max(longest_.load(), (BenchSeconds() - start) * 1000);
            Sleep(1);
        }
        done_ = true;
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
    std::atomic<double> longest_{0};
    std::atomic<int> answers_{0};
    std::thread thread_;
};

struct RunResult {
    double seconds = 0;
    double longestMs = 0;
    int answers = 0;
    std::wstring closingBox;
};

RunResult TimeDecodeRun(bool withProgress)
{
    UseLongWorkWindow(withProgress);
    HandlePendingMessages();
    RunResult result;
    boxText[0] = L'\0';
    boxShownAt = 0;
    boxesShown = 0;
    AnswerProbe probe(MainWindow());
    double start = BenchSeconds();
    DecodeFileList(MainWindowControl(kListBoxControl), MainWindowControl(kCharsetCheckBoxControl),
                   MainWindowControl(kReferencesCheckBoxControl));
    probe.Stop();
    result.seconds = boxShownAt - start;
    result.longestMs = probe.LongestMs();
    result.answers = probe.Answers();
    // Any box besides "Done!" names a file that was not converted.
    result.closingBox = boxesShown == 1 ? boxText : L"(" + std::to_wstring(boxesShown) + L" boxes)";
    return result;
}

// A drop event's data naming one folder, as a drop target makes it.
void* FolderDropData(const std::wstring& folder)
{
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    block.append(reinterpret_cast<const char*>(folder.c_str()), (folder.size() + 1) * sizeof(wchar_t));
    block.append(sizeof(wchar_t), '\0');
    return CreateDropEventData(CF_HDROP, block.data(), block.size());
}

RunResult TimeDrop(const std::wstring& tree)
{
    UseLongWorkWindow(true);
    HandlePendingMessages();
    void* data = FolderDropData(tree);
    RunResult result;
    AnswerProbe probe(MainWindow());
    double start = BenchSeconds();
    HandleListDrop(data, MainWindowControl(kListBoxControl), MainWindowControl(kFilterCheckBoxControl));
    result.seconds = BenchSeconds() - start;
    probe.Stop();
    ReleaseDropEventData(data);
    result.longestMs = probe.LongestMs();
    result.answers = probe.Answers();
    return result;
}

void FillEarlierEntries(HWND list)
{
    FileListRedrawPause pause(list);
    FileListReserve(list, kEarlierEntries, kEarlierEntries * 40);
    for (int i = 0; i < kEarlierEntries; ++i)
        FileListAppend(list, (L"C:\\earlier\\folder\\file " + std::to_wstring(i) + L".htm").c_str());
}

bool ListHolds(HWND list, const std::vector<CorpusFile>& files)
{
    FileListRemoveAll(list);
    FileListRedrawPause pause(list);
    FileListReserve(list, files.size(), files.size() * 64);
    for (const CorpusFile& file : files)
        FileListAppend(list, file.path.c_str());
    return FileListCount(list) == static_cast<int>(files.size());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: long_work_bench <corpus folder> <tree folder>\n");
        return 2;
    }
    const std::wstring corpus = argv[1];
    const std::wstring tree = argv[2];

    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&commonControls);
    OleInitialize(nullptr);
    if (!SetUpMainWindow(LoadIconW(nullptr, IDI_APPLICATION), LoadCursorW(nullptr, IDC_ARROW),
                         static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)))) {
        fwprintf(stderr, L"error: no main window (is there a display?)\n");
        return 1;
    }
    HandlePendingMessages();
    boxHook = SetWindowsHookExW(WH_CBT, DismissBoxes, nullptr, GetCurrentThreadId());
    HWND list = MainWindowControl(kListBoxControl);

    // The Decode run, with and without the progress display, in turns, each
    // on the same freshly written corpus; best of each.
    std::vector<CorpusFile> files = CorpusFiles(corpus);
    const std::string large = Utf8Text(kLargeSize, 0);
    double decodeLongest = 0;
    double bestWith = 1e9, bestWithout = 1e9;
    bool decodeOk = ListHolds(list, files);
    for (int round = 0; decodeOk && round < 2 * kRoundsEach; ++round) {
        if (!WriteCorpus(corpus, files, large)) {
            Fail("decode-responsiveness-max-ms", L"the corpus could not be written");
            decodeOk = false;
            break;
        }
        bool withProgress = round % 2 == 0;
        RunResult run = TimeDecodeRun(withProgress);
        if (run.closingBox != L"Done!" || run.seconds <= 0) {
            Fail("decode-responsiveness-max-ms",
                 (L"the run did not end with \"Done!\" but with \"" + run.closingBox + L"\" (a file was not converted)")
                     .c_str());
            decodeOk = false;
            break;
        }
        // The large file shrinks by one byte per accented letter.
        if (FileSize(files[0].path) >= static_cast<LONGLONG>(large.size())) {
            Fail("decode-responsiveness-max-ms", L"the large file was not converted");
            decodeOk = false;
            break;
        }
        if (run.answers < 10) {
            Fail("decode-responsiveness-max-ms", L"the window hardly answered at all during the run");
            decodeOk = false;
            break;
        }
        decodeLongest = std::max(decodeLongest, run.longestMs);
        (withProgress ? bestWith : bestWithout) = std::min(withProgress ? bestWith : bestWithout, run.seconds);
    }
    if (decodeOk) {
        wprintf(L"decode-responsiveness-max-ms: %.1f\n", decodeLongest);
        wprintf(L"decode-progress-overhead: %.3f\n", bestWithout / bestWith);
    } else {
        Fail("decode-progress-overhead", L"no complete runs to compare");
    }
    FileListRemoveAll(list);

    // The drop intake of the 100,000-file tree, into an empty list and into
    // one of 50,000 entries.
    double intakeLongest = 0;
    bool intakeOk = true;
    for (int earlier : {0, kEarlierEntries}) {
        FileListRemoveAll(list);
        if (earlier)
            FillEarlierEntries(list);
        RunResult drop = TimeDrop(tree);
        if (FileListCount(list) != kTreeFiles + earlier) {
            Fail("intake-responsiveness-max-ms",
                 (L"the list holds " + std::to_wstring(FileListCount(list)) + L" entries after the drop, not " +
                  std::to_wstring(kTreeFiles + earlier))
                     .c_str());
            intakeOk = false;
            break;
        }
        if (drop.answers < 10) {
            Fail("intake-responsiveness-max-ms", L"the window hardly answered at all during the drop");
            intakeOk = false;
            break;
        }
        intakeLongest = std::max(intakeLongest, drop.longestMs);
    }
    if (intakeOk)
        wprintf(L"intake-responsiveness-max-ms: %.1f\n", intakeLongest);

    UnhookWindowsHookEx(boxHook);
    CloseMainWindow();
    OleUninitialize();
    return failed ? 1 : 0;
}
