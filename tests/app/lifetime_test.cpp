// How the program ends: every way of closing the window ends the process at
// once with exit code 0. (A start where no window can be made is tested from
// the shell: see CMakeLists.txt.)
#include "tests/app/tolvane_driver.h"

#include <gtest/gtest.h>

namespace {

struct CloseCase {
    const char* name;
    void (*close)(HWND window);
};

void PrintTo(const CloseCase& c, std::ostream* out)
{
    *out << c.name;
}

const CloseCase kCloseCases[] = {
    {"CloseMessage", [](HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }},
    {"SystemMenuClose", [](HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"AltF4", [](HWND) { PressKey(VK_F4, {VK_MENU}); }},
};

class Closing : public testing::TestWithParam<CloseCase> {};

TEST_P(Closing, EndsTheProcessWithExitCodeZero)
{
    TolvaneProcess tolvane;
    ListPaths(tolvane.Control(kListBoxControl), {L"C:\\a.htm", L"C:\\b.htm"});
    GetParam().close(tolvane.Window());
    EXPECT_EQ(tolvane.WaitForExit(5000), 0u);
}

INSTANTIATE_TEST_SUITE_P(App, Closing, testing::ValuesIn(kCloseCases),
                         [](const testing::TestParamInfo<CloseCase>& info) { return info.param.name; });

TEST(Closing, DropsTheEventsStillWaiting)
{
    TolvaneProcess tolvane;
    HWND window = tolvane.Window();
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(kDecodeButtonControl, BN_CLICKED),
                 reinterpret_cast<LPARAM>(tolvane.Control(kDecodeButtonControl)));
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindMessageBox(tolvane.ThreadId())) != nullptr; }));

    // While the box holds the thread, the close and a second Decode click
    // become events that wait behind it.
    PostMessageW(window, WM_CLOSE, 0, 0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(kDecodeButtonControl, BN_CLICKED),
                 reinterpret_cast<LPARAM>(tolvane.Control(kDecodeButtonControl)));
    Sleep(200);
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    EXPECT_EQ(tolvane.WaitForExit(5000), 0u) << "a second run started after the close";
}

} // namespace
