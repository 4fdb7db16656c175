// The drop intake as long work, in-process on the real main window: the
// window's turn comes while the walk goes on, the progress display shows
// what was found and where, and Stop ends the walk with what was found so
// far added in the usual order. Each turn here waits a little, so that every
// folder entry gets a turn of its own and the stop falls in the middle.
#include "base/event_queue.h"
#include "base/file_list.h"
#include "base/long_work.h"
#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"
#include "support/temp_folder.h"
#include "ui/long_work_window.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kTurnsBeforeStop = 60;

int turns = 0;
int stopAtTurn = 0;
std::wstring progressSeen;

void SlowTurn()
{
    ++turns;
    HWND text = MainWindowControl(kProgressTextControl);
    if (IsWindowVisible(text) && progressSeen.empty()) {
        wchar_t shown[1024] = L"";
        GetWindowTextW(text, shown, 1024);
        progressSeen = shown;
    }
    if (stopAtTurn && turns == stopAtTurn)
        RequestLongWorkStop(LongWorkStop::User);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    Sleep(21); // the next check-in is due at once
}

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

class IntakeLongWork : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        OleInitialize(nullptr);
        INITCOMMONCONTROLSEX classes{sizeof(classes), 0xB48};
        InitCommonControlsEx(&classes);
        ASSERT_TRUE(SetUpMainWindow(nullptr, LoadCursorW(nullptr, IDC_ARROW),
                                    static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))));
        SetLongWorkWindow({EnterLongWorkInMainWindow, SlowTurn, ShowLongWorkProgress, LeaveLongWorkInMainWindow});
    }
    static void TearDownTestSuite()
    {
        SetLongWorkWindow({});
        CloseMainWindow();
        DropAllEvents();
        OleUninitialize();
    }

    void SetUp() override
    {
        // Three folders of 40 files each.
        for (int f = 0; f < 3; ++f) {
            std::wstring folder = folder_.Join(L"part" + std::to_wstring(f));
            MakeFolders(folder);
            for (int i = 0; i < 40; ++i)
                WriteBytes(folder + L"\\page" + std::to_wstring(i) + L".htm", "x");
        }
        FileListRemoveAll(List());
    }

    static HWND List() { return MainWindowControl(kListBoxControl); }

    std::vector<std::wstring> Drop(int stopAt)
    {
        turns = 0;
        stopAtTurn = stopAt;
        progressSeen.clear();
        FileListRemoveAll(List());
        void* data = FolderDropData(folder_.Path());
        {
            // The drop's work begins a little earlier, so that its first
            // check-in already gets a turn.
            LongWorkScope earlier(LongWorkKind::Intake);
            Sleep(25);
            HandleListDrop(data, List(), MainWindowControl(kFilterCheckBoxControl));
        }
        ReleaseDropEventData(data);
        std::vector<std::wstring> listed;
        for (int i = 0; i < FileListCount(List()); ++i)
            listed.push_back(FileListText(List(), i));
        return listed;
    }

    TempFolder folder_;
};

TEST_F(IntakeLongWork, StopAddsWhatWasFoundSoFarInTheUsualOrder)
{
    std::vector<std::wstring> whole = Drop(0);
    ASSERT_EQ(whole.size(), 120u);
    EXPECT_GT(turns, kTurnsBeforeStop) << "the walk gave the window too few turns";

    std::vector<std::wstring> stopped = Drop(kTurnsBeforeStop);
    ASSERT_GT(stopped.size(), 0u);
    ASSERT_LT(stopped.size(), whole.size()) << "the walk went on after Stop";
    // The files found first stand at the bottom of a drop, so what a stopped
    // walk found is the bottom of the whole one, in the same order.
    std::vector<std::wstring> bottom(whole.end() - static_cast<std::ptrdiff_t>(stopped.size()), whole.end());
    EXPECT_EQ(stopped, bottom);
}

TEST_F(IntakeLongWork, ProgressShowsWhatWasFoundAndWhereThenGoes)
{
    Drop(0);
    // "Adding files: " with the count, " found in " and the folder walked.
    ASSERT_EQ(progressSeen.rfind(L"Adding files: ", 0), 0u) << testing::PrintToString(progressSeen);
    size_t in = progressSeen.find(L" found in ");
    ASSERT_NE(in, std::wstring::npos) << testing::PrintToString(progressSeen);
    std::wstring count = progressSeen.substr(14, in - 14);
    EXPECT_FALSE(count.empty());
    EXPECT_EQ(count.find_first_not_of(L"0123456789,"), std::wstring::npos) << testing::PrintToString(count);
    EXPECT_EQ(progressSeen.substr(in + 10, folder_.Path().size()), folder_.Path());
    EXPECT_TRUE(IsWindowEnabled(List()));
    for (ControlNumber number : {kProgressBarControl, kProgressTextControl, kStopButtonControl})
        EXPECT_FALSE(IsWindowVisible(MainWindowControl(number))) << "control " << number;
    EXPECT_FALSE(GetWindowLongPtrW(MainWindowControl(kProgressBarControl), GWL_STYLE) & PBS_MARQUEE)
        << "the bar stays a marquee after the drop";
}

} // namespace
