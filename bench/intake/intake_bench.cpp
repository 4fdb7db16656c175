// Intake benchmark: handling a drop of a folder tree of 100,000 files into a
// real list box, against floors measured in the same run, interleaved in
// alternating order, best of several rounds: a bare FindFirstFileW /
// FindNextFileW walk of the same tree, and for the drop into a list of
// 50,000 entries that walk plus as many list box inserts into a list in the
// same state. A second tree holds links to folders, so that the walk that
// checks folder identities is timed too.
//
//   intake_bench <tree> <tree with links>    both made by bench/intake/run
//
// Every figure is printed on a line of its own as `name: value`, each time
// beside its ratio; a failed pass prints an `intake-bench-error:` line
// instead of figures and ends with exit code 1.
//
// Every figure is printed on a line of its own as `name: value`.
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"

#include "base/file_list.h"
#include "base/unique_handle.h"

#include "bench/bench_clock.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 3;
constexpr int kEarlierEntries = 50000;

// The floor: every entry of every folder visited, nothing kept.
size_t BareWalk(const std::wstring& folder)
{
    size_t files = 0;
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &entry));
    if (!find)
        return 0;
    do {
        std::wstring_view name(entry.cFileName);
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            files += BareWalk(folder + L"\\" + entry.cFileName);
        else
            ++files;
    } while (FindNextFileW(find.Get(), &entry));
    return files;
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

struct Controls {
    HWND window;
    HWND list;
    HWND filter;
};

Controls CreateControls()
{
    Controls controls{};
    controls.window = CreateWindowExW(0, L"Static", L"Intake benchmark", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 990,
                                      560, nullptr, nullptr, nullptr, nullptr);
    controls.list = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_MULTIPLESEL |
                                        LBS_EXTENDEDSEL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                    0, 150, 960, 370, controls.window, nullptr, nullptr, nullptr);
    controls.filter = CreateWindowExW(0, L"Button", L"Filter for *.htm*", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 300,
                                      20, 200, 20, controls.window, nullptr, nullptr, nullptr);
    return controls;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

// Seconds that handle list drop of `folder` takes on `list` as it stands.
double TimeDrop(const Controls& controls, const std::wstring& folder)
{
    void* data = FolderDropData(folder);
    double start = BenchSeconds();
    HandleListDrop(data, controls.list, controls.filter);
    PumpMessages(); // the repaint is part of the drop
    double took = BenchSeconds() - start;
    ReleaseDropEventData(data);
    return took;
}

void FillEarlierEntries(HWND list)
{
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_INITSTORAGE, kEarlierEntries, kEarlierEntries * 40 * sizeof(wchar_t));
    for (int i = 0; i < kEarlierEntries; ++i) {
        std::wstring text = L"C:\\earlier\\folder\\file " + std::to_wstring(i) + L".htm";
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, LB_SETSEL, TRUE, 10);
    PumpMessages();
}


// Seconds that appending `count` paths of the tree's kind takes on `list` as
// it stands: what any intake must do for the entries at least.
double TimeListInserts(HWND list, size_t count)
{
    std::vector<std::wstring> paths;
    paths.reserve(count);
    for (size_t i = 0; i < count; ++i)
        paths.push_back(L"Z:\\tmp\\tolvane-intake-bench.XXXXXX\\part0\\section0\\chapter0\\page" +
                        std::to_wstring(i % 1000) + L".htm");
    double start = BenchSeconds();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const std::wstring& path : paths)
        SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    PumpMessages();
    return BenchSeconds() - start;
}

// A failed pass makes every figure meaningless: say which, and stop.
[[noreturn]] void Fail(const wchar_t* what, long long got, long long wanted)
{
    wprintf(L"intake-bench-error: %ls: %lld, expected %lld\n", what, got, wanted);
    fflush(stdout);
    ExitProcess(1);
}

struct Best {
    double seconds = 1e9;
    void Take(double sample) { seconds = std::min(seconds, sample); }
    double Ms() const { return seconds * 1000; }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: intake_bench <tree folder> <tree with links>\n");
        return 2;
    }
    const std::wstring tree = argv[1];
    const std::wstring linkedTree = argv[2];
    Controls controls = CreateControls();
    if (!controls.list || !controls.filter) {
        wprintf(L"intake-bench-error: no list box could be made (is there a display?)\n");
        return 1;
    }
    PumpMessages();

    // Both walks warm the file system's caches, and tell the file counts.
    const long long files = static_cast<long long>(BareWalk(tree));
    const long long linkedFiles = static_cast<long long>(BareWalk(linkedTree));
    if (files < 100000)
        Fail(L"files in the tree", files, 100000);
    if (linkedFiles != files)
        Fail(L"files in the tree with links", linkedFiles, files);

    // Every round measures the floors and the drops, in an order that
    // alternates, so that neither side always runs on warmer caches.
    Best bare, bareLinked, inserts, empty, full, linked;
    auto measureFloors = [&] {
        double start = BenchSeconds();
        BareWalk(tree);
        bare.Take(BenchSeconds() - start);
        start = BenchSeconds();
        BareWalk(linkedTree);
        bareLinked.Take(BenchSeconds() - start);
        FileListRemoveAll(controls.list);
        FillEarlierEntries(controls.list);
        inserts.Take(TimeListInserts(controls.list, static_cast<size_t>(files)));
        FileListRemoveAll(controls.list);
    };
    auto measureDrops = [&] {
        FileListRemoveAll(controls.list);
        empty.Take(TimeDrop(controls, tree));
        if (FileListCount(controls.list) != files)
            Fail(L"entries after a drop on the empty list", FileListCount(controls.list), files);

        FileListRemoveAll(controls.list);
        FillEarlierEntries(controls.list);
        full.Take(TimeDrop(controls, tree));
        if (FileListCount(controls.list) != files + kEarlierEntries)
            Fail(L"entries after a drop on the 50,000-entry list", FileListCount(controls.list),
                 files + kEarlierEntries);

        FileListRemoveAll(controls.list);
        linked.Take(TimeDrop(controls, linkedTree));
        if (FileListCount(controls.list) != files)
            Fail(L"entries after a drop of the tree with links", FileListCount(controls.list), files);
        FileListRemoveAll(controls.list);
    };
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) {
            measureFloors();
            measureDrops();
        } else {
            measureDrops();
            measureFloors();
        }
    }

    // The floor of a drop into the full list: the bare walk and as many
    // list box inserts into a list in the same state.
    double floorMs = bare.Ms() + inserts.Ms();
    wprintf(L"intake-100k-bare-walk-ms: %.1f\n", bare.Ms());
    wprintf(L"intake-100k-empty-ms: %.1f\n", empty.Ms());
    wprintf(L"intake-100k-empty-ratio: %.3f\n", empty.seconds / bare.seconds);
    wprintf(L"intake-100k-full-ms: %.1f\n", full.Ms());
    wprintf(L"intake-100k-full-ratio: %.3f\n", full.seconds / bare.seconds);
    wprintf(L"intake-100k-listbox-inserts-ms: %.1f\n", inserts.Ms());
    wprintf(L"intake-100k-listbox-floor-ms: %.1f\n", floorMs);
    wprintf(L"intake-100k-full-floor-ratio: %.3f\n", full.Ms() / floorMs);
    wprintf(L"intake-100k-links-bare-walk-ms: %.1f\n", bareLinked.Ms());
    wprintf(L"intake-100k-links-ms: %.1f\n", linked.Ms());
    wprintf(L"intake-100k-links-ratio: %.3f\n", linked.seconds / bareLinked.seconds);
    DestroyWindow(controls.window);
    return 0;
}
