// Clicks on the file list: a plain click on a selected entry keeps a
// multiple selection, so that it can be pressed on without being lost.
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"

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

    // The middle of entry `index` (the list is not scrolled), on the screen.
    POINT EntryPoint(int index) const
    {
        const int height = static_cast<int>(SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0));
        POINT point{40, index * height + height / 2};
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
