// Commands that run out of memory for real: the test process's address space
// is limited (run_with_fault.sh small-memory) and a balloon takes what is
// left but a measured room. No exception may end the process, and the file
// list must hold at least what it held before.
#include "app/commands.h"
#include "base/file_list.h"
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"
#include "intake/file_list_fill.h"
#include "intake/list_window.h"
#include "support/file_drag_source.h"
#include "support/memory_balloon.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include <string>
#include <vector>

namespace {

struct ListState {
    std::vector<std::wstring> entries;
    std::vector<int> selected;
    LRESULT caret, anchor, top;
    bool operator==(const ListState&) const = default;
};

void PrintTo(const ListState& state, std::ostream* out)
{
    *out << state.entries.size() << " entries, " << state.selected.size() << " selected, caret " << state.caret
         << ", anchor " << state.anchor << ", top " << state.top;
}

ListState StateOf(const ListWindow& window)
{
    HWND list = window.List();
    return {window.Entries(), window.Selected(), SendMessageW(list, LB_GETCARETINDEX, 0, 0),
            SendMessageW(list, LB_GETANCHORINDEX, 0, 0), SendMessageW(list, LB_GETTOPINDEX, 0, 0)};
}

// A path of about `length` characters, different for every `number`.
std::wstring LongPath(const wchar_t* folder, int number, size_t length)
{
    std::wstring path = std::wstring(L"C:\\") + folder + L"\\" + std::to_wstring(number) + L"\\";
    path.append(length > path.size() + 4 ? length - path.size() - 4 : 0, L'x');
    return path + L".htm";
}

class OutOfMemoryUnderFault : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t limited[8] = L"";
        if (!GetEnvironmentVariableW(L"TOLVANE_TEST_MEMORY_LIMITED", limited, 8))
            FAIL() << "needs a process whose address space is limited (run_with_fault.sh small-memory)";
    }

    // Entries added at the end, some selected, the list scrolled.
    void FillList(int count, size_t length)
    {
        HWND list = window_.List();
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        for (int i = 0; i < count; ++i)
            FileListAppend(list, LongPath(L"earlier", i, length).c_str());
        for (int i = 3; i < count; i += 7)
            SendMessageW(list, LB_SETSEL, TRUE, i);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        SendMessageW(list, LB_SETANCHORINDEX, count / 3, 0);
        SendMessageW(list, LB_SETCARETINDEX, count / 2, FALSE);
        SendMessageW(list, LB_SETTOPINDEX, count / 4, 0);
    }

    ListWindow window_;
};

// A drop event's data naming `count` paths of about `length` characters,
// built in place: hundreds of megabytes.
void* LargeDropData(int count, size_t length)
{
    std::wstring paths;
    paths.reserve(static_cast<size_t>(count) * (length + 1) + 1);
    for (int i = 0; i < count; ++i) {
        paths += LongPath(L"dropped", i, length);
        paths += L'\0';
    }
    paths += L'\0';
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    SIZE_T bytes = sizeof header + paths.size() * sizeof(wchar_t);
    void* block = VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!block)
        return nullptr;
    memcpy(block, &header, sizeof header);
    memcpy(static_cast<BYTE*>(block) + sizeof header, paths.data(), paths.size() * sizeof(wchar_t));
    void* data = CreateDropEventData(CF_HDROP, block, bytes);
    VirtualFree(block, 0, MEM_RELEASE);
    return data;
}

TEST_F(OutOfMemoryUnderFault, DropOfHundredsOfMegabytesOfPathsLeavesTheListAsItWas)
{
    FillList(2000, 120);
    ListState before = StateOf(window_);
    void* data = LargeDropData(600000, 250); // 300 MB of paths
    ASSERT_NE(data, nullptr) << "the drop could not even be built";
    {
        MemoryBalloon balloon(64 << 20);
        ASSERT_TRUE(balloon.Filled()) << "memory did not run out: the address space is not limited";
        HandleListDrop(data, window_.List(), window_.Filter());
    }
    ReleaseDropEventData(data);
    EXPECT_EQ(StateOf(window_), before);
}

// The refill reads the earlier entries out, empties the list box and puts
// everything in again: running out half-way must bring every earlier entry
// back, with its selection and the view.
TEST_F(OutOfMemoryUnderFault, RefillThatRunsOutPutsEveryEarlierEntryBack)
{
    FillList(10000, 200);
    ListState before = StateOf(window_);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 100000; ++i)
        paths.push_back(LongPath(L"added", i, 200));
    {
        MemoryBalloon balloon(32 << 20);
        ASSERT_TRUE(balloon.Filled()) << "memory did not run out: the address space is not limited";
        FileListInsertTopMany(window_.List(), paths);
    }
    EXPECT_EQ(StateOf(window_), before);
}

TEST_F(OutOfMemoryUnderFault, DeleteThatCannotBeDoneLeavesTheListAsItWas)
{
    FillList(40000, 300);
    ListState before = StateOf(window_);
    ASSERT_GT(before.selected.size(), 256u) << "the case must take the rebuild";
    {
        MemoryBalloon balloon(16 << 20);
        ASSERT_TRUE(balloon.Filled()) << "memory did not run out: the address space is not limited";
        DeleteSelectedEntries(window_.List());
    }
    EXPECT_EQ(StateOf(window_), before);
}

// A walk that runs out adds what it found before, or nothing; the earlier
// entries stay below it, untouched.
TEST_F(OutOfMemoryUnderFault, WalkThatRunsOutKeepsTheEarlierEntries)
{
    TempFolder tree;
    const std::wstring name(150, L'n');
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i)
        WriteBytes(tree.Join(std::to_wstring(i) + name + L".htm"), "");
    FillList(100, 60);
    ListState before = StateOf(window_);
    std::wstring folder = tree.Path();
    // The same folder dropped many times over is walked each time.
    constexpr int kDrops = 40;
    std::string block = MakeDropFilesBlock(std::vector<std::wstring>(kDrops, folder));
    void* data = CreateDropEventData(CF_HDROP, block.data(), block.size());
    ASSERT_NE(data, nullptr);
    {
        MemoryBalloon balloon(16 << 20);
        ASSERT_TRUE(balloon.Filled()) << "memory did not run out: the address space is not limited";
        HandleListDrop(data, window_.List(), window_.Filter());
    }
    ReleaseDropEventData(data);

    std::vector<std::wstring> entries = window_.Entries();
    ASSERT_GE(entries.size(), before.entries.size());
    size_t added = entries.size() - before.entries.size();
    EXPECT_LT(added, static_cast<size_t>(kDrops * kFiles)) << "the walk did not run out of memory: no fault was made";
    EXPECT_TRUE(std::equal(before.entries.begin(), before.entries.end(), entries.begin() + added));
    for (size_t i = 0; i < added; ++i)
        EXPECT_EQ(entries[i].compare(0, folder.size(), folder), 0) << "entry " << i;
}

} // namespace
