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

} // namespace
