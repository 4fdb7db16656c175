// The main window as the user first sees it: where it stands, how big it is,
// what it holds.
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"

#include <gtest/gtest.h>

namespace {

struct ControlCase {
    const char* name;
    ControlNumber number;
    const wchar_t* className;
    const wchar_t* caption;
    RECT rect; // in the main window's client area
    DWORD style;
    DWORD exStyle;
};

constexpr DWORD kCommon = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;

const ControlCase kControlCases[] = {
    {"FileList",
     kListBoxControl,
     L"ListBox",
     L"",
     {0, 150, 960, 520},
     kCommon | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_HASSTRINGS |
         LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE},
    {"ClearButton", kClearButtonControl, L"Button", L"Clear", {10, 10, 250, 40}, kCommon | BS_PUSHBUTTON, 0},
    {"DecodeButton", kDecodeButtonControl, L"Button", L"Decode", {720, 10, 960, 40}, kCommon | BS_PUSHBUTTON, 0},
    {"FilterCheckBox",
     kFilterCheckBoxControl,
     L"Button",
     L"Filter for *.htm*",
     {320, 10, 530, 40},
     kCommon | BS_AUTOCHECKBOX,
     0},
    {"CharsetCheckBox",
     kCharsetCheckBoxControl,
     L"Button",
     L"delete charset UTF-8",
     {320, 40, 530, 70},
     kCommon | BS_AUTOCHECKBOX,
     0},
    // The doubled ampersand shows as one: `missing chars as &#NNNN;`.
    {"ReferencesCheckBox",
     kReferencesCheckBoxControl,
     L"Button",
     L"missing chars as &&#NNNN;",
     {320, 70, 530, 100},
     kCommon | BS_AUTOCHECKBOX,
     0},
};

void PrintTo(const ControlCase& c, std::ostream* out)
{
    *out << c.name;
}

class Controls : public testing::TestWithParam<ControlCase> {
protected:
    static void SetUpTestSuite() { tolvane = new TolvaneProcess; }
    static void TearDownTestSuite()
    {
        delete tolvane;
        tolvane = nullptr;
    }
    static TolvaneProcess* tolvane;
};
TolvaneProcess* Controls::tolvane = nullptr;

TEST_P(Controls, StandWhereTheyBelongWithTheirCaptionsAndStyles)
{
    const ControlCase& c = GetParam();
    HWND control = tolvane->Control(c.number);
    ASSERT_NE(control, nullptr);

    wchar_t className[32] = L"";
    GetClassNameW(control, className, 32);
    EXPECT_STREQ(className, c.className);
    wchar_t caption[64] = L"";
    GetWindowTextW(control, caption, 64);
    EXPECT_STREQ(caption, c.caption);

    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, tolvane->Window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, c.rect.left);
    EXPECT_EQ(rect.top, c.rect.top);
    EXPECT_EQ(rect.right, c.rect.right);
    EXPECT_EQ(rect.bottom, c.rect.bottom);

    // The list box adds no bits of its own that matter here; the scroll bars
    // come and go with the entries.
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE)) & ~(WS_VSCROLL | WS_HSCROLL);
    EXPECT_EQ(style, c.style & ~(WS_VSCROLL | WS_HSCROLL));
    EXPECT_EQ(GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, static_cast<LONG_PTR>(c.exStyle));
}

INSTANTIATE_TEST_SUITE_P(Window, Controls, testing::ValuesIn(kControlCases),
                         [](const testing::TestParamInfo<ControlCase>& info) { return info.param.name; });

TEST(Window, StandsAtTheTopLeftWithAFixedClientArea)
{
    TolvaneProcess tolvane;
    RECT outer{}, client{};
    GetWindowRect(tolvane.Window(), &outer);
    GetClientRect(tolvane.Window(), &client);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(client.right - client.left, 970);
    EXPECT_EQ(client.bottom - client.top, 520);

    const LONG_PTR style = GetWindowLongPtrW(tolvane.Window(), GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(GetWindowLongPtrW(tolvane.Window(), GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
}

TEST(Window, ListsItsControlsInTabOrder)
{
    TolvaneProcess tolvane;
    std::vector<int> shown;
    std::vector<int> hidden;
    for (HWND child = GetWindow(tolvane.Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        (IsWindowVisible(child) ? shown : hidden).push_back(GetDlgCtrlID(child));
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 4, 5, 6}));
    // The progress display comes last, hidden at rest.
    EXPECT_EQ(hidden, (std::vector<int>{kProgressBarControl, kProgressTextControl, kStopButtonControl}));
}

TEST(Window, StartsWithEveryOptionClearAndAnEmptyList)
{
    TolvaneProcess tolvane;
    EXPECT_FALSE(IsOptionTicked(tolvane.Control(kFilterCheckBoxControl)));
    EXPECT_FALSE(IsOptionTicked(tolvane.Control(kCharsetCheckBoxControl)));
    EXPECT_FALSE(IsOptionTicked(tolvane.Control(kReferencesCheckBoxControl)));
    EXPECT_EQ(FileListCount(tolvane.Control(kListBoxControl)), 0);
    // No control is given the focus on the first activation (the system may
    // leave it on the main window itself).
    HWND focus = tolvane.Focus();
    EXPECT_TRUE(focus == nullptr || focus == tolvane.Window()) << "focus on " << tolvane.Describe(focus);
}

TEST(Window, CutsOffALongPathWithoutAHorizontalScrollBar)
{
    TolvaneProcess tolvane;
    HWND list = tolvane.Control(kListBoxControl);
    ListPaths(list, {L"C:\\" + std::wstring(400, L'x') + L".htm"});
    ASSERT_EQ(FileListCount(list), 1);
    // The scroll bar's style bit tells whether it shows.
    EXPECT_FALSE(GetWindowLongPtrW(list, GWL_STYLE) & WS_HSCROLL);
    EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), 0);
}

} // namespace
