#include "intake/file_list_fill.h"

#include "base/file_list.h"
#include "intake/list_window.h"

#include <gtest/gtest.h>

namespace {

struct ListState {
    std::vector<std::wstring> entries;
    std::vector<int> selected;
    LRESULT caret;
    LRESULT anchor;
    LRESULT top;
    bool operator==(const ListState&) const = default;
};

void PrintTo(const ListState& state, std::ostream* out)
{
    *out << state.entries.size() << " entries, selected " << testing::PrintToString(state.selected) << ", caret "
         << state.caret << ", anchor " << state.anchor << ", top " << state.top;
}

ListState StateOf(const ListWindow& window)
{
    HWND list = window.List();
    return {window.Entries(), window.Selected(), SendMessageW(list, LB_GETCARETINDEX, 0, 0),
            SendMessageW(list, LB_GETANCHORINDEX, 0, 0), SendMessageW(list, LB_GETTOPINDEX, 0, 0)};
}

struct FillCase {
    const char* name;
    int existing;
    int added;
    std::vector<int> selected; // selected in this order, the last one by a click's worth of messages
    int scrolledTo;            // top index before the fill
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FillCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileListFillTest : public testing::TestWithParam<FillCase> {};

// Two identical lists: one filled entry by entry at the top, as the program
// always did, one with FileListInsertTopMany. They must end up the same.
TEST_P(FileListFillTest, EqualsInsertingEachAtTheTop)
{
    const FillCase& fill = GetParam();
    ListWindow oneByOne;
    ListWindow bulk;
    std::vector<std::wstring> earlier, added;
    for (int i = 0; i < fill.existing; ++i)
        earlier.push_back(L"C:\\earlier\\" + std::to_wstring(i) + L".htm");
    for (int i = 0; i < fill.added; ++i)
        added.push_back(L"D:\\added\\" + std::to_wstring(i) + L".htm");
    for (const ListWindow* window : {&oneByOne, &bulk}) {
        window->Add(earlier);
        for (int entry : fill.selected)
            SendMessageW(window->List(), LB_SETSEL, TRUE, entry);
        SendMessageW(window->List(), LB_SETTOPINDEX, fill.scrolledTo, 0);
    }
    ASSERT_EQ(StateOf(oneByOne), StateOf(bulk));

    // Redraw off only to keep the reference quick; it changes no state.
    SendMessageW(oneByOne.List(), WM_SETREDRAW, FALSE, 0);
    for (const std::wstring& path : added)
        FileListInsertTop(oneByOne.List(), path.c_str());
    SendMessageW(oneByOne.List(), WM_SETREDRAW, TRUE, 0);
    FileListInsertTopMany(bulk.List(), added);

    ListState expected = StateOf(oneByOne);
    ASSERT_EQ(expected.entries.size(), earlier.size() + added.size());
    EXPECT_EQ(expected.entries.front(), added.empty() ? earlier.front() : added.back());
    EXPECT_EQ(StateOf(bulk), expected);
}

INSTANTIATE_TEST_SUITE_P(Lists, FileListFillTest,
                         testing::Values(FillCase{"FewIntoEmpty", 0, 3, {}, 0},
                                         FillCase{"ManyIntoEmpty", 0, 300, {}, 0},
                                         FillCase{"FewAboveSelection", 30, 4, {2, 7, 5}, 0},
                                         FillCase{"ManyAboveSelection", 30, 300, {2, 7, 5}, 0},
                                         FillCase{"ManyAboveScrolledList", 200, 300, {150}, 120},
                                         FillCase{"ManyAboveUnselected", 50, 300, {}, 10},
                                         FillCase{"NothingAdded", 5, 0, {1}, 0}),
                         [](const testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

} // namespace
