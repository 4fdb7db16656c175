// The keyboard as the user works it: Tab and Shift+Tab, the focus that comes
// back after another window had it, Delete, and Space on the buttons.
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"

#include <gtest/gtest.h>

namespace {

// Presses the key and waits until the focus has moved to `expected`.
::testing::AssertionResult FocusMovesTo(TolvaneProcess& tolvane, std::initializer_list<WORD> modifiers,
                                        ControlNumber expected)
{
    PressKey(VK_TAB, modifiers);
    HWND want = tolvane.Control(expected);
    if (WaitUntil([&] { return tolvane.Focus() == want; }, 3000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "focus on " << tolvane.Describe(tolvane.Focus()) << " instead of "
                                         << tolvane.Describe(want);
}

TEST(Keyboard, TabWalksTheControlsFromNoFocus)
{
    TolvaneProcess tolvane;
    for (ControlNumber next : {kListBoxControl, kClearButtonControl, kDecodeButtonControl, kFilterCheckBoxControl,
                               kCharsetCheckBoxControl, kReferencesCheckBoxControl, kListBoxControl})
        EXPECT_TRUE(FocusMovesTo(tolvane, {}, next));
}

TEST(Keyboard, ShiftTabWalksBackFromNoFocus)
{
    TolvaneProcess tolvane;
    for (ControlNumber next : {kReferencesCheckBoxControl, kCharsetCheckBoxControl, kFilterCheckBoxControl,
                               kDecodeButtonControl, kClearButtonControl, kListBoxControl, kReferencesCheckBoxControl})
        EXPECT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, next));
}

// A top-level window of the test's own, to switch to.
class OtherWindow {
public:
    OtherWindow()
    {
        window_ = CreateWindowExW(0, L"Static", L"Other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 300, 200,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OtherWindow() { DestroyWindow(window_); }
    HWND Get() const { return window_; }

private:
    HWND window_;
};

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

TEST(Keyboard, FocusComesBackAfterSwitchingToAnotherWindow)
{
    TolvaneProcess tolvane;
    ASSERT_TRUE(FocusMovesTo(tolvane, {}, kListBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {}, kClearButtonControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {}, kDecodeButtonControl));

    const HWND decode = tolvane.Control(kDecodeButtonControl);
    OtherWindow other;
    SetForegroundWindow(other.Get());
    // The deactivation reaches the program's thread some time after the
    // switch: wait for the focus to have left it, not for the switch alone.
    ASSERT_TRUE(WaitUntil([&] {
        Pump();
        return GetForegroundWindow() == other.Get() && tolvane.Focus() != decode;
    })) << "foreground "
        << tolvane.Describe(GetForegroundWindow()) << ", focus on " << tolvane.Describe(tolvane.Focus());

    ASSERT_TRUE(tolvane.Activate()) << "foreground " << tolvane.Describe(GetForegroundWindow());
    EXPECT_TRUE(WaitUntil([&] { return tolvane.Focus() == decode; }))
        << "focus on " << tolvane.Describe(tolvane.Focus()) << " instead of " << tolvane.Describe(decode);
}

struct DeleteCase {
    const char* name;
    std::vector<WORD> modifiers;
    std::vector<int> selected;
    std::vector<std::wstring> remaining;
};

void PrintTo(const DeleteCase& c, std::ostream* out)
{
    *out << c.name;
}

const std::vector<std::wstring> kFive = {L"C:\\a.htm", L"C:\\b.htm", L"C:\\c.htm", L"C:\\d.htm", L"C:\\e.htm"};

const DeleteCase kDeleteCases[] = {
    {"AloneRemovesTheSelection", {}, {0, 1, 3}, {L"C:\\c.htm", L"C:\\e.htm"}},
    {"AloneWithEverythingSelectedEmptiesTheList", {}, {0, 1, 2, 3, 4}, {}},
    {"AloneWithNothingSelectedKeepsAll", {}, {}, kFive},
    {"WithShiftKeepsAll", {VK_SHIFT}, {0, 1, 3}, kFive},
    {"WithCtrlKeepsAll", {VK_CONTROL}, {0, 1, 3}, kFive},
    {"WithAltKeepsAll", {VK_MENU}, {0, 1, 3}, kFive},
};

class DeleteKey : public testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteKey, ActsOnlyWhenPressedAlone)
{
    const DeleteCase& c = GetParam();
    TolvaneProcess tolvane;
    HWND list = tolvane.Control(kListBoxControl);
    ListPaths(list, kFive);
    for (int index : c.selected)
        SendMessageW(list, LB_SETSEL, TRUE, index);
    ASSERT_TRUE(FocusMovesTo(tolvane, {}, kListBoxControl));

    switch (c.modifiers.size()) {
    case 0: PressKey(VK_DELETE); break;
    default: PressKey(VK_DELETE, {c.modifiers[0]}); break;
    }
    // Keys are handled in order: once the Tab after Delete has moved the
    // focus, the Delete has been handled too.
    ASSERT_TRUE(FocusMovesTo(tolvane, {}, kClearButtonControl));
    EXPECT_EQ(ListedPaths(list), c.remaining);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, DeleteKey, testing::ValuesIn(kDeleteCases),
                         [](const testing::TestParamInfo<DeleteCase>& info) { return info.param.name; });

TEST(Keyboard, DeleteWorksWhicheverControlHasTheFocus)
{
    TolvaneProcess tolvane;
    HWND list = tolvane.Control(kListBoxControl);
    ListPaths(list, kFive);
    SendMessageW(list, LB_SETSEL, TRUE, 4);
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kReferencesCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kCharsetCheckBoxControl));
    PressKey(VK_DELETE);
    EXPECT_TRUE(WaitUntil([&] { return FileListCount(list) == 4; }));
    EXPECT_FALSE(IsOptionTicked(tolvane.Control(kCharsetCheckBoxControl)));
}

TEST(Keyboard, SpaceOnClearEmptiesTheListAndKeepsTheOptions)
{
    TolvaneProcess tolvane;
    HWND list = tolvane.Control(kListBoxControl);
    ListPaths(list, kFive);
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kReferencesCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kCharsetCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kFilterCheckBoxControl));
    PressKey(VK_SPACE);
    ASSERT_TRUE(WaitUntil([&] { return IsOptionTicked(tolvane.Control(kFilterCheckBoxControl)); }));

    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kDecodeButtonControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kClearButtonControl));
    PressKey(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return FileListCount(list) == 0; }));
    EXPECT_TRUE(IsOptionTicked(tolvane.Control(kFilterCheckBoxControl)));
    EXPECT_FALSE(IsOptionTicked(tolvane.Control(kCharsetCheckBoxControl)));
}

TEST(Keyboard, SpaceOnDecodeRunsTheDecoding)
{
    TolvaneProcess tolvane;
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kReferencesCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kCharsetCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kFilterCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kDecodeButtonControl));
    PressKey(VK_SPACE);
    std::vector<ShownBox> boxes = ReadBoxesUntilDone(tolvane.ThreadId());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Info");
    EXPECT_EQ(boxes[0].text, L"Done!");
}

TEST(Keyboard, EnterOnDecodeDoesNothing)
{
    TolvaneProcess tolvane;
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kReferencesCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kCharsetCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kFilterCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kDecodeButtonControl));
    PressKey(VK_RETURN);
    // The window has no default button and no dialog keys: once the Tab
    // after Enter has been handled, no run has started.
    ASSERT_TRUE(FocusMovesTo(tolvane, {}, kFilterCheckBoxControl));
    Sleep(200);
    EXPECT_EQ(FindMessageBox(tolvane.ThreadId()), nullptr);
}

TEST(Keyboard, SpaceTogglesAFocusedCheckBox)
{
    TolvaneProcess tolvane;
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kReferencesCheckBoxControl));
    ASSERT_TRUE(FocusMovesTo(tolvane, {VK_SHIFT}, kCharsetCheckBoxControl));
    PressKey(VK_SPACE);
    EXPECT_TRUE(WaitUntil([&] { return IsOptionTicked(tolvane.Control(kCharsetCheckBoxControl)); }));
    EXPECT_FALSE(IsOptionTicked(tolvane.Control(kFilterCheckBoxControl)));
}

} // namespace
