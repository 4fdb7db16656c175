// Clicks on the file list: a plain click on a selected entry keeps a
// multiple selection, so that it can be pressed on without being lost.
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"
#include "support/file_drag_source.h"

#include <gtest/gtest.h>

namespace {

class ListClicks : public testing::Test {
protected:
    void SetUp() override
    {
        list_ = tolvane_.Control(kListBoxControl);
        ListPaths(list_, {L"C:\\a.htm", L"C:\\b.htm", L"C:\\c.htm", L"C:\\d.htm", L"C:\\e.htm"});
        for (int index : {0, 2, 3})
            SendMessageW(list_, LB_SETSEL, TRUE, index);
        ASSERT_EQ(SelectedEntries(list_), (std::vector<int>{0, 2, 3}));
    }

    // The middle of entry `index`, which must be in view, on the screen.
    POINT EntryPoint(int index) const
    {
        const int height = static_cast<int>(SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0));
        const int top = static_cast<int>(SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
        POINT point{40, (index - top) * height + height / 2};
        ClientToScreen(list_, &point);
        return point;
    }

    ::testing::AssertionResult SelectionBecomes(const std::vector<int>& expected) const
    {
        if (WaitUntil([&] { return SelectedEntries(list_) == expected; }, 3000))
            return ::testing::AssertionSuccess();
        auto failure = ::testing::AssertionFailure() << "selected:";
        for (int index : SelectedEntries(list_))
            failure << " " << index;
        return failure;
    }

    TolvaneProcess tolvane_;
    HWND list_ = nullptr;
};

TEST_F(ListClicks, PlainClickOnASelectedEntryKeepsTheWholeSelection)
{
    Click(EntryPoint(2));
    // Mouse input is handled in order: once the Ctrl+click after it has
    // selected entry 4, the plain click has been handled too.
    Click(EntryPoint(4), {VK_CONTROL});
    EXPECT_TRUE(SelectionBecomes({0, 2, 3, 4}));
}

// The second press of a double click reaches the list box as a double-click
// message, which a list box takes as a press of its own: on a selected entry
// it must leave the selection as a single click does.
TEST_F(ListClicks, DoubleClickOnASelectedEntryKeepsTheWholeSelection)
{
    Click(EntryPoint(2));
    Click(EntryPoint(2));
    Sleep(GetDoubleClickTime() + 50);
    Click(EntryPoint(4), {VK_CONTROL});
    EXPECT_TRUE(SelectionBecomes({0, 2, 3, 4}));
}

// Pressing on a selected entry and dragging across others (the start of a
// drag) selects no range: the list box never saw the press.
TEST_F(ListClicks, PressAndDragFromASelectedEntryKeepsTheWholeSelection)
{
    PressButton(EntryPoint(2));
    for (int entry : {3, 4, 1})
        MovePointer(EntryPoint(entry));
    ReleaseButton();
    Sleep(GetDoubleClickTime() + 50);
    Click(EntryPoint(4), {VK_CONTROL});
    EXPECT_TRUE(SelectionBecomes({0, 2, 3, 4}));
}

// Past 65,535 entries the entry under the pointer no longer fits in the 16
// bits that LB_ITEMFROMPOINT gives it.
TEST_F(ListClicks, PlainClickOnASelectedEntryPast65535KeepsTheSelection)
{
    // One drop of 70,000 paths fills the list far faster than as many
    // messages from this process would.
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> many;
    for (int i = 0; i < 70000; ++i)
        many.push_back(L"C:\\many\\" + std::to_wstring(i) + L".htm");
    {
        OleInitialize(nullptr);
        DWORD effect = DROPEFFECT_NONE;
        EXPECT_EQ(DragFilesTo(CentreOf(list_), many, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
        OleUninitialize();
    }
    ASSERT_TRUE(WaitUntil([&] { return FileListCount(list_) == 70000; }, 30000));
    SendMessageW(list_, LB_SETSEL, FALSE, -1);
    SendMessageW(list_, LB_SETTOPINDEX, 69999, 0);
    const int top = static_cast<int>(SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
    ASSERT_GT(top, 65535);
    SendMessageW(list_, LB_SETSEL, TRUE, top);
    SendMessageW(list_, LB_SETSEL, TRUE, top + 2);
    RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    Click(EntryPoint(top));
    Click(EntryPoint(top + 4), {VK_CONTROL});
    // Reading 70,000 selection states across processes is slow: the count and
    // the entries that matter tell the same.
    auto selected = [&](int entry) { return SendMessageW(list_, LB_GETSEL, entry, 0) > 0; };
    EXPECT_TRUE(WaitUntil([&] { return selected(top + 4); }, 3000));
    EXPECT_EQ(SendMessageW(list_, LB_GETSELCOUNT, 0, 0), 3);
    EXPECT_TRUE(selected(top) && selected(top + 2));
    EXPECT_EQ(SendMessageW(list_, LB_GETTOPINDEX, 0, 0), top) << "the view moved";
}

TEST_F(ListClicks, PlainClickOnAnEntryNotSelectedSelectsItAlone)
{
    Click(EntryPoint(1));
    EXPECT_TRUE(SelectionBecomes({1}));
}

TEST_F(ListClicks, CtrlClickTogglesOneEntry)
{
    Click(EntryPoint(2), {VK_CONTROL});
    EXPECT_TRUE(SelectionBecomes({0, 3}));
    // A second press at once would be the second half of a double click.
    Sleep(GetDoubleClickTime() + 50);
    Click(EntryPoint(2), {VK_CONTROL});
    EXPECT_TRUE(SelectionBecomes({0, 2, 3}));
}

TEST_F(ListClicks, ShiftClickSelectsARange)
{
    Click(EntryPoint(1));
    ASSERT_TRUE(SelectionBecomes({1}));
    Click(EntryPoint(3), {VK_SHIFT});
    EXPECT_TRUE(SelectionBecomes({1, 2, 3}));
}

} // namespace
