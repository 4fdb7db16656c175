// The main window's message handling inside one process: which events its
// messages raise, the tooltips' requests for text, and the accelerator table.
#include "base/event_queue.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

class MainWindowMessages : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        OleInitialize(nullptr);
        INITCOMMONCONTROLSEX classes{sizeof(classes), 0xB48};
        InitCommonControlsEx(&classes);
        ASSERT_TRUE(SetUpMainWindow(nullptr, LoadCursorW(nullptr, IDC_ARROW),
                                    static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))));
    }
    static void TearDownTestSuite()
    {
        CloseMainWindow();
        DropAllEvents();
        OleUninitialize();
    }

    // Handles what is waiting and forgets the events raised so far.
    void SetUp() override
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        while (TakeEvent() != EventKind::None) {
        }
    }

    // The kinds and sources of the events waiting now, in order.
    static std::vector<std::pair<EventKind, int>> TakeAll()
    {
        std::vector<std::pair<EventKind, int>> events;
        for (EventKind kind; (kind = TakeEvent()) != EventKind::None;)
            events.emplace_back(kind, CurrentEventSource());
        return events;
    }

    static LRESULT Notify(UINT code, HWND tool, NMTTDISPINFOW& info)
    {
        info.hdr.hwndFrom = nullptr;
        info.hdr.idFrom = reinterpret_cast<UINT_PTR>(tool);
        info.hdr.code = code;
        return SendMessageW(MainWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    }
};

using Events = std::vector<std::pair<EventKind, int>>;

TEST_F(MainWindowMessages, ButtonClicksBecomeControlEvents)
{
    SendMessageW(MainWindowControl(kDecodeButtonControl), BM_CLICK, 0, 0);
    SendMessageW(MainWindowControl(kClearButtonControl), BM_CLICK, 0, 0);
    SendMessageW(MainWindowControl(kFilterCheckBoxControl), BM_CLICK, 0, 0);
    Events events;
    for (auto event : TakeAll())
        if (event.first == EventKind::Control)
            events.push_back(event);
    EXPECT_EQ(events, (Events{{EventKind::Control, kDecodeButtonControl},
                              {EventKind::Control, kClearButtonControl},
                              {EventKind::Control, kFilterCheckBoxControl}}));
}

TEST_F(MainWindowMessages, CommandsOtherThanFocusBecomeShortcutEvents)
{
    HWND window = MainWindow();
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(9, 1), 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(64001, 0), 0); // a menu command, not the accelerator's
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(64001, 1), 0); // focus-next: no event
    EXPECT_EQ(TakeAll(), (Events{{EventKind::Shortcut, 9}, {EventKind::Shortcut, 64001}}));
}

TEST_F(MainWindowMessages, CloseRaisesTheCloseEventAndKeepsTheWindow)
{
    EXPECT_EQ(SendMessageW(MainWindow(), WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(TakeAll(), (Events{{EventKind::Close, 0}}));
    EXPECT_TRUE(IsWindow(MainWindow()));
}

TEST_F(MainWindowMessages, TheAcceleratorTableHoldsTabShiftTabAndDelete)
{
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(MainWindowAccelerators(), entries, 8), 3);
    const ACCEL expected[] = {{FVIRTKEY | FNOINVERT, VK_TAB, 64001},
                              {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, 64002},
                              {FVIRTKEY | FNOINVERT, VK_DELETE, 9}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].fVirt & ~0x80, expected[i].fVirt) << "entry " << i; // 0x80: last-entry mark
        EXPECT_EQ(entries[i].key, expected[i].key) << "entry " << i;
        EXPECT_EQ(entries[i].cmd, expected[i].cmd) << "entry " << i;
    }
}

struct TipCase {
    ControlNumber control;
    const wchar_t* text;
};

TEST_F(MainWindowMessages, TipRequestsAreAnsweredWithTheControlsText)
{
    const TipCase cases[] = {
        {kListBoxControl,
         L"Drag'n'drop file here\n\rclick with Ctrl for multiple selection, press Del for Delete Items"},
        {kClearButtonControl, L"Clear list of files"},
        {kDecodeButtonControl, L"Start Decoding files"},
        {kFilterCheckBoxControl, L"Filter only *htm or *.html"},
        {kCharsetCheckBoxControl, L"Try to detect charset=utf-8"},
        {kReferencesCheckBoxControl,
         L"Characters the code page lacks become &#NNNN; in .htm/.html files (not in <script> or <style>)"},
    };
    const wchar_t* previous = nullptr;
    for (const TipCase& c : cases) {
        NMTTDISPINFOW info{};
        info.uFlags = TTF_IDISHWND;
        EXPECT_EQ(Notify(TTN_GETDISPINFOW, MainWindowControl(c.control), info), 0);
        ASSERT_NE(info.lpszText, nullptr);
        EXPECT_STREQ(info.lpszText, c.text);
        EXPECT_EQ(info.uFlags, static_cast<UINT>(TTF_IDISHWND)) << "TTF_DI_SETITEM must stay clear";
        // One text, replaced on every request and valid after the answer.
        if (previous) {
            EXPECT_EQ(info.lpszText, previous);
        }
        previous = info.lpszText;
    }
    EXPECT_EQ(std::wstring(previous), std::end(cases)[-1].text);
}

TEST_F(MainWindowMessages, OtherNotificationsAreLeftAlone)
{
    wchar_t untouched[] = L"untouched";
    NMTTDISPINFOW info{};
    info.lpszText = untouched;
    Notify(TTN_GETDISPINFOA, MainWindowControl(kClearButtonControl), info);
    EXPECT_EQ(info.lpszText, untouched);
    Notify(TTN_GETDISPINFOW, GetDesktopWindow(), info);
    EXPECT_EQ(info.lpszText, untouched);
    Notify(NM_CLICK, MainWindowControl(kClearButtonControl), info);
    EXPECT_EQ(info.lpszText, untouched);
}

BOOL CALLBACK CollectTooltips(HWND window, LPARAM param)
{
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    if (_wcsicmp(className, TOOLTIPS_CLASSW) == 0)
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

TEST_F(MainWindowMessages, EveryControlHasABalloonTooltipOfItsOwn)
{
    std::vector<HWND> tooltips;
    EnumThreadWindows(GetCurrentThreadId(), CollectTooltips, reinterpret_cast<LPARAM>(&tooltips));
    ASSERT_EQ(tooltips.size(), 6u);
    std::vector<HWND> tools;
    for (HWND tooltip : tooltips) {
        EXPECT_EQ(GetWindowLongPtrW(tooltip, GWL_STYLE) & (TTS_NOPREFIX | TTS_BALLOON), TTS_NOPREFIX | TTS_BALLOON);
        EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
        EXPECT_EQ(SendMessageW(tooltip, TTM_GETMAXTIPWIDTH, 0, 0), 300);
        EXPECT_EQ(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 15000);
        wchar_t text[128] = L"";
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.lpszText = text; // answered with the tool's own text pointer
        ASSERT_TRUE(SendMessageW(tooltip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_EQ(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS));
        EXPECT_EQ(tool.hwnd, MainWindow());
        EXPECT_EQ(tool.lpszText, LPSTR_TEXTCALLBACKW);
        tools.push_back(reinterpret_cast<HWND>(tool.uId));
    }
    for (ControlNumber number : {kListBoxControl, kClearButtonControl, kDecodeButtonControl, kFilterCheckBoxControl,
                                 kCharsetCheckBoxControl, kReferencesCheckBoxControl})
        EXPECT_EQ(std::count(tools.begin(), tools.end(), MainWindowControl(number)), 1) << "control " << number;
}

} // namespace
