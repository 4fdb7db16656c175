#include "app/commands.h"

#include "base/file_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A list box styled as the program's file list, in a window of its own.
class CommandListBox {
public:
    CommandListBox()
    {
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_EXTENDEDSEL |
                                    LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                0, 0, 400, 300, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    CommandListBox(const CommandListBox&) = delete;
    CommandListBox& operator=(const CommandListBox&) = delete;
    ~CommandListBox() { DestroyWindow(window_); }

    HWND List() const { return list_; }

    std::vector<std::wstring> Entries() const
    {
        std::vector<std::wstring> entries;
        for (int i = 0; i < FileListCount(list_); ++i)
            entries.push_back(FileListText(list_, i));
        return entries;
    }

private:
    HWND window_ = nullptr;
    HWND list_ = nullptr;
};

struct DeleteCase {
    const char* name;
    int entries;
    int selectEvery; // 0: nothing selected; n: entries 0, n, 2n, ...
    std::vector<int> alsoSelected;
};

void PrintTo(const DeleteCase& c, std::ostream* os)
{
    *os << c.name;
}

class DeleteSelectedEntriesTest : public testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteSelectedEntriesTest, RemovesTheSelectedAndKeepsTheOrderOfTheRest)
{
    const DeleteCase& c = GetParam();
    CommandListBox box;
    std::vector<std::wstring> paths;
    for (int i = 0; i < c.entries; ++i) {
        paths.push_back(L"C:\\site\\page" + std::to_wstring(i) + L".htm");
        SendMessageW(box.List(), LB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(paths.back().c_str()));
    }
    std::vector<bool> selected(paths.size());
    for (int i = 0; c.selectEvery && i < c.entries; i += c.selectEvery)
        selected[i] = true;
    for (int i : c.alsoSelected)
        selected[i] = true;
    for (size_t i = 0; i < selected.size(); ++i)
        if (selected[i])
            SendMessageW(box.List(), LB_SETSEL, TRUE, static_cast<LPARAM>(i));

    std::vector<std::wstring> expected;
    for (size_t i = 0; i < paths.size(); ++i)
        if (!selected[i])
            expected.push_back(paths[i]);

    DeleteSelectedEntries(box.List());

    EXPECT_EQ(box.Entries(), expected);
    EXPECT_EQ(SendMessageW(box.List(), LB_GETSELCOUNT, 0, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Selections, DeleteSelectedEntriesTest,
                         testing::Values(DeleteCase{"NothingSelected", 5, 0, {}}, DeleteCase{"EmptyList", 0, 0, {}},
                                         DeleteCase{"FirstSecondAndFourthOfFive", 5, 0, {0, 1, 3}},
                                         DeleteCase{"AllOfFive", 5, 1, {}}, DeleteCase{"LastOnly", 5, 0, {4}},
                                         DeleteCase{"EveryThirdOfThousands", 3000, 3, {2999}},
                                         DeleteCase{"AllOfThousands", 3000, 1, {}}),
                         [](const testing::TestParamInfo<DeleteCase>& info) { return std::string(info.param.name); });

struct ViewCase {
    const char* name;
    int entries;
    int firstSelected, selectedCount;
    int caret, top;
};

void PrintTo(const ViewCase& c, std::ostream* os)
{
    *os << c.name;
}

struct ListState {
    std::vector<std::wstring> entries;
    LRESULT selectedCount, caret, anchor, top;
    bool operator==(const ListState&) const = default;
};

void PrintTo(const ListState& state, std::ostream* os)
{
    *os << state.entries.size() << " entries, " << state.selectedCount << " selected, caret " << state.caret
        << ", anchor " << state.anchor << ", top " << state.top;
}

ListState StateOf(const CommandListBox& box)
{
    HWND list = box.List();
    return {box.Entries(), SendMessageW(list, LB_GETSELCOUNT, 0, 0), SendMessageW(list, LB_GETCARETINDEX, 0, 0),
            SendMessageW(list, LB_GETANCHORINDEX, 0, 0), SendMessageW(list, LB_GETTOPINDEX, 0, 0)};
}

class DeleteKeepsTheViewTest : public testing::TestWithParam<ViewCase> {};

// Past a few hundred selected entries Delete rebuilds the list instead of
// removing them one by one; the list must end up the same either way,
// scrolled the same, with its caret and anchor where they would be.
TEST_P(DeleteKeepsTheViewTest, AsRemovingEachSelectedEntryDoes)
{
    const ViewCase& c = GetParam();
    CommandListBox oneByOne, rebuilt;
    for (const CommandListBox* box : {&oneByOne, &rebuilt}) {
        HWND list = box->List();
        for (int i = 0; i < c.entries; ++i) {
            std::wstring path = L"C:\\site\\page" + std::to_wstring(i) + L".htm";
            SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(path.c_str()));
        }
        // As a click on the first and a Shift+click on another would leave it.
        SendMessageW(list, LB_SELITEMRANGEEX, c.firstSelected, c.firstSelected + c.selectedCount - 1);
        SendMessageW(list, LB_SETANCHORINDEX, c.firstSelected, 0);
        SendMessageW(list, LB_SETCARETINDEX, c.caret, FALSE);
        SendMessageW(list, LB_SETTOPINDEX, c.top, 0);
    }
    ASSERT_EQ(StateOf(oneByOne), StateOf(rebuilt));
    ASSERT_GT(SendMessageW(rebuilt.List(), LB_GETSELCOUNT, 0, 0), 256) << "the case must take the rebuild";

    for (int i = 0; i < FileListCount(oneByOne.List());)
        if (FileListIsSelected(oneByOne.List(), i))
            FileListRemove(oneByOne.List(), i);
        else
            ++i;
    DeleteSelectedEntries(rebuilt.List());

    // Wine leaves the top index where it was even when the list has become
    // shorter than that, and the view then shows no entry at all; the view
    // that is meant is the one the list box settles on when given that top
    // index again, which is the last page.
    HWND reference = oneByOne.List();
    SendMessageW(reference, LB_SETTOPINDEX, SendMessageW(reference, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(StateOf(rebuilt), StateOf(oneByOne));
}

INSTANTIATE_TEST_SUITE_P(Views, DeleteKeepsTheViewTest,
                         testing::Values(ViewCase{"ScrolledToTheEndSelectionAbove", 1000, 100, 300, 999, 990},
                                         ViewCase{"SelectionBelowTheView", 1000, 600, 300, 650, 100},
                                         ViewCase{"SelectionAroundTheView", 3000, 1000, 1000, 1500, 1400},
                                         ViewCase{"CaretPastTheNewEnd", 1000, 700, 300, 999, 500},
                                         ViewCase{"EverythingButTheFirst", 600, 1, 599, 300, 200}),
                         [](const testing::TestParamInfo<ViewCase>& info) { return std::string(info.param.name); });

} // namespace
