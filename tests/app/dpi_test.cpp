// The window at the screen's DPI (run_at_dpi.sh sets it in a Wine prefix of
// its own and names it in TOLVANE_TEST_DPI): every figure of the window as
// it is at 96 DPI, scaled by DPI / 96, captions that fit their controls in
// the controls' own font, and a move to a monitor of another DPI. This test
// program carries the same manifest as tolvane.exe, so it sees the screen as
// the program does.
#include "tests/app/tolvane_driver.h"

#include "base/event_queue.h"
#include "base/file_list.h"
#include "base/window_dpi.h"
#include "intake/drop_feedback.h"
#include "ui/controls.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The DPI the screen must have for this run.
UINT ExpectedDpi()
{
    const char* text = std::getenv("TOLVANE_TEST_DPI");
    return text ? static_cast<UINT>(std::atoi(text)) : 0;
}

struct ControlCase {
    ControlNumber number;
    RECT at96; // in the main window's client area
};

const ControlCase kControlCases[] = {
    {kListBoxControl, {0, 150, 960, 520}},         {kClearButtonControl, {10, 10, 250, 40}},
    {kDecodeButtonControl, {720, 10, 960, 40}},    {kFilterCheckBoxControl, {320, 10, 530, 40}},
    {kCharsetCheckBoxControl, {320, 40, 530, 70}}, {kReferencesCheckBoxControl, {320, 70, 530, 100}},
};

RECT Scaled(const RECT& at96, UINT dpi)
{
    return {ScaleForDpi(at96.left, dpi), ScaleForDpi(at96.top, dpi), ScaleForDpi(at96.right, dpi),
            ScaleForDpi(at96.bottom, dpi)};
}

RECT ClientRectOf(HWND control, HWND parent)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string Describe(const RECT& rect)
{
    char text[64];
    snprintf(text, sizeof(text), "(%ld, %ld, %ld, %ld)", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

TEST(Dpi, TheScreenHasTheDpiOfThisRun)
{
    ASSERT_NE(ExpectedDpi(), 0u) << "TOLVANE_TEST_DPI is not set: run this program through run_at_dpi.sh";
    EXPECT_EQ(SystemDpi(), ExpectedDpi()) << "the prefix's LogPixels did not take";
    EXPECT_EQ(MonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)), ExpectedDpi());
}

// The real program, started as a user starts it.
TEST(Dpi, ProgramWindowAndControlsAreScaled)
{
    const UINT dpi = ExpectedDpi();
    TolvaneProcess tolvane;
    HWND window = tolvane.Window();
    ASSERT_NE(window, nullptr);

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, ScaleForDpi(970, dpi));
    EXPECT_EQ(client.bottom, ScaleForDpi(520, dpi));

    // The work area leaves room for taskbars at the top and the left; the
    // window's outer corner stands at its corner, clear of them.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const char* workCorner = std::getenv("TOLVANE_TEST_WORK_AREA");
    ASSERT_NE(workCorner, nullptr) << "run_at_dpi.sh names the work area's corner";
    EXPECT_EQ(std::to_string(work.left) + " " + std::to_string(work.top), workCorner)
        << "the display's work area did not take";
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, work.left);
    EXPECT_EQ(outer.top, work.top);

    for (const ControlCase& c : kControlCases) {
        HWND control = tolvane.Control(c.number);
        ASSERT_NE(control, nullptr) << c.number;
        EXPECT_EQ(Describe(ClientRectOf(control, window)), Describe(Scaled(c.at96, dpi))) << "control " << c.number;
    }
}

// The main window made in this process, whose fonts and tooltips can be
// looked at.
class DpiWindow : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        OleInitialize(nullptr);
        INITCOMMONCONTROLSEX classes{sizeof(classes), 0xB48};
        InitCommonControlsEx(&classes);
        ASSERT_TRUE(SetUpMainWindow(nullptr, LoadCursorW(nullptr, IDC_ARROW), StockFont()));
    }
    static void TearDownTestSuite()
    {
        CloseMainWindow();
        DropAllEvents();
        OleUninitialize();
    }

    static HFONT StockFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

    static LOGFONTW FontOf(HFONT font)
    {
        LOGFONTW face{};
        GetObjectW(font, sizeof(face), &face);
        return face;
    }

    // The control's font is the stock font at 96 DPI, else one of its face
    // and size made for `dpi`.
    static void ExpectFontFor(HWND control, UINT dpi)
    {
        auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        if (dpi == kBaseDpi && SystemDpi() == kBaseDpi) {
            EXPECT_EQ(font, StockFont());
            return;
        }
        const LOGFONTW stock = FontOf(StockFont());
        const LOGFONTW made = FontOf(font);
        EXPECT_STREQ(made.lfFaceName, stock.lfFaceName);
        EXPECT_EQ(made.lfHeight, MulDiv(stock.lfHeight, dpi, SystemDpi()));
        EXPECT_EQ(made.lfWeight, stock.lfWeight);
    }

    // The caption, measured with the control's own font, fits inside the
    // control beside what the control draws around it: a button's edges, a
    // check box's box and the gap after it.
    static void ExpectCaptionFits(HWND control, UINT dpi)
    {
        wchar_t caption[64] = L"";
        int length = GetWindowTextW(control, caption, 64);
        ASSERT_GT(length, 0);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        SIZE text{};
        GetTextExtentPoint32W(dc, caption, length, &text);
        SelectObject(dc, old);
        ReleaseDC(control, dc);

        RECT client{};
        GetClientRect(control, &client);
        const bool checkBox = (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        const int beside = checkBox ? ScaleForDpi(13 + 6, dpi) : 2 * ScaleForDpi(4, dpi);
        EXPECT_LE(text.cx + beside, client.right) << "caption of control " << GetDlgCtrlID(control);
        EXPECT_LE(text.cy, client.bottom) << "caption of control " << GetDlgCtrlID(control);
        // A font too small would fit as well: the text must have its size.
        EXPECT_GE(text.cy, ScaleForDpi(11, dpi)) << "caption of control " << GetDlgCtrlID(control);
    }

    static int IconWidth(WPARAM which)
    {
        auto icon = reinterpret_cast<HICON>(SendMessageW(MainWindow(), WM_GETICON, which, 0));
        ICONINFO info{};
        if (!icon || !GetIconInfo(icon, &info))
            return 0;
        BITMAP bitmap{};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        return bitmap.bmWidth;
    }

    static std::vector<HWND> ThreadTooltips()
    {
        std::vector<HWND> found;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM param) {
                wchar_t name[32] = L"";
                GetClassNameW(window, name, 32);
                if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0)
                    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    static bool IsButton(HWND control)
    {
        wchar_t name[16] = L"";
        GetClassNameW(control, name, 16);
        return lstrcmpiW(name, L"Button") == 0;
    }

    // Every control of the window, those of the table below included: each
    // gets the font for the DPI, and each button's caption fits.
    static void ExpectScaledFor(UINT dpi)
    {
        for (const ControlCase& c : kControlCases) {
            SCOPED_TRACE(testing::Message() << "control " << c.number << " at " << dpi << " DPI");
            HWND control = MainWindowControl(c.number);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(Describe(ClientRectOf(control, MainWindow())), Describe(Scaled(c.at96, dpi)));
        }
        size_t made = 0;
        for (ControlNumber number : kControlCreationOrder) {
            SCOPED_TRACE(testing::Message() << "control " << number << " at " << dpi << " DPI");
            HWND control = MainWindowControl(number);
            ASSERT_NE(control, nullptr);
            ++made;
            ExpectFontFor(control, dpi);
            if (IsButton(control))
                ExpectCaptionFits(control, dpi);
        }
        // The progress display's controls, hidden at rest, are made for the
        // DPI as well.
        for (ControlNumber number : kProgressControls) {
            SCOPED_TRACE(testing::Message() << "control " << number << " at " << dpi << " DPI");
            HWND control = MainWindowControl(number);
            ASSERT_NE(control, nullptr);
            ExpectFontFor(control, dpi);
            if (IsButton(control))
                ExpectCaptionFits(control, dpi);
        }
        // The title bar's and the taskbar's icons are images of the icon's
        // own sizes for the DPI.
        EXPECT_EQ(IconWidth(ICON_SMALL), ScaleForDpi(16, dpi));
        EXPECT_EQ(IconWidth(ICON_BIG), ScaleForDpi(32, dpi));
        std::vector<HWND> tooltips = ThreadTooltips();
        EXPECT_GE(tooltips.size(), made);
        for (HWND tooltip : tooltips)
            EXPECT_EQ(SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), ScaleForDpi(300, dpi));
    }
};

TEST_F(DpiWindow, ControlsFontsCaptionsAndTooltipsAreMadeForTheDpi)
{
    ExpectScaledFor(ExpectedDpi());
}

// What Windows does when the window is dragged to a monitor of another DPI:
// WM_DPICHANGED with the new DPI and a suggested window rectangle. Wine has
// one DPI for all monitors, so the message is sent here as Windows sends it.
TEST_F(DpiWindow, MovingToAnotherDpiTakesTheSuggestedRectangleAndRescales)
{
    const UINT dpi = ExpectedDpi();
    const UINT other = dpi == 192 ? 144 : 192;
    for (UINT next : {other, dpi}) {
        SCOPED_TRACE(testing::Message() << "to " << next << " DPI");
        RECT suggested{0, 0, ScaleForDpi(970, next), ScaleForDpi(520, next)};
        AdjustWindowRectForDpi(suggested, WS_CAPTION | WS_SYSMENU, 0, next);
        OffsetRect(&suggested, 40 - suggested.left, 30 - suggested.top);
        EXPECT_EQ(
            SendMessageW(MainWindow(), WM_DPICHANGED, MAKEWPARAM(next, next), reinterpret_cast<LPARAM>(&suggested)), 0);
        RECT outer{};
        GetWindowRect(MainWindow(), &outer);
        EXPECT_EQ(Describe(outer), Describe(suggested));
        ExpectScaledFor(next);
    }
}

// The outline an entry gets while files are dragged over the list is as many
// pixels wide as the DPI makes of one.
TEST_F(DpiWindow, DragOutlineIsScaled)
{
    const UINT dpi = ExpectedDpi();
    HWND list = MainWindowControl(kListBoxControl);
    FileListRemoveAll(list);
    for (int i = 0; i < 4; ++i)
        FileListInsertTop(list, L"");
    SetWindowPos(MainWindow(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(list);
    RECT entry{};
    ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&entry)), LB_ERR);

    // Pixels of one row of the entry, left of its right band, that differ from
    // the list's background.
    const int thickness = std::max(1, ScaleForDpi(1, dpi));
    auto inkInRow = [&](int y) {
        HDC dc = GetDC(list);
        const COLORREF background = GetPixel(dc, entry.left + entry.right / 2, entry.top + thickness + 2);
        int ink = 0;
        for (int x = entry.left + thickness + 1; x < entry.right - thickness - 1; ++x)
            ink += GetPixel(dc, x, y) != background;
        ReleaseDC(list, dc);
        return ink;
    };
    const int width = entry.right - entry.left;
    int outlined = kNoOutlinedEntry;
    DrawDragOutline(list, POINT{entry.left + 5, entry.top + 2}, outlined);
    EXPECT_EQ(outlined, 1);
    for (int row = 0; row < thickness; ++row)
        EXPECT_GT(inkInRow(entry.top + row), width / 3) << "row " << row << " of the outline";
    EXPECT_LT(inkInRow(entry.top + thickness), width / 20) << "the outline is wider than " << thickness;
    RemoveDragOutline(list, outlined);
    EXPECT_LT(inkInRow(entry.top), width / 20) << "the outline stayed";
}

} // namespace
