// Intake benchmark: handling a drop of a folder tree of 100,000 files into a
// real list box, against the floor of any folder walk, a bare
// FindFirstFileW/FindNextFileW walk of the same tree, measured in the same
// run, interleaved, best of several rounds.
//
//   intake_bench <folder>    the tree's root, made by bench/intake/run
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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fwprintf(stderr, L"usage: intake_bench <tree folder>\n");
        return 2;
    }
    std::wstring tree = argv[1];
    Controls controls = CreateControls();
    if (!controls.list || !controls.filter) {
        fwprintf(stderr, L"no list box (is there a display?)\n");
        return 1;
    }
    PumpMessages();

    size_t files = BareWalk(tree); // warms the file system's caches
    if (files < 100000) {
        fwprintf(stderr, L"the tree holds %zu files, not 100,000\n", files);
        return 1;
    }

    double bare = 1e9, empty = 1e9, full = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        double start = BenchSeconds();
        BareWalk(tree);
        bare = std::min(bare, BenchSeconds() - start);

        FileListRemoveAll(controls.list);
        empty = std::min(empty, TimeDrop(controls, tree));
        if (FileListCount(controls.list) != static_cast<int>(files)) {
            fwprintf(stderr, L"the list holds %d entries after the drop, not %zu\n", FileListCount(controls.list),
                     files);
            return 1;
        }

        FileListRemoveAll(controls.list);
        FillEarlierEntries(controls.list);
        full = std::min(full, TimeDrop(controls, tree));
        if (FileListCount(controls.list) != static_cast<int>(files) + kEarlierEntries)
            return 1;
        FileListRemoveAll(controls.list);
    }

    wprintf(L"intake-100k-bare-walk-ms: %.1f\n", bare * 1000);
    wprintf(L"intake-100k-empty-ratio: %.3f\n", empty / bare);
    wprintf(L"intake-100k-full-ratio: %.3f\n", full / bare);
    DestroyWindow(controls.window);
    return 0;
}
