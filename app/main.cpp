// Tolvane's main routine: start-up, the event loop, shut-down. The program
// has one thread, which runs everything, and always ends with exit code 0.
#include "app/command_line.h"
#include "app/event_loop.h"
#include "base/event_queue.h"
#include "base/program_heaps.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <ole2.h>
#include <windows.h>

namespace {

constexpr int kIconResource = 1;

// ICC_TAB_CLASSES (the tooltips), ICC_HOTKEY_CLASS, ICC_DATE_CLASSES,
// ICC_USEREX_CLASSES and ICC_INTERNET_CLASSES.
constexpr DWORD kCommonControlClasses = 0xB48;
static_assert(kCommonControlClasses ==
              (ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES));

[[noreturn]] void ShutDown()
{
    OleUninitialize();
    CloseMainWindow();
    DropAllEvents();
    DestroyProgramHeaps();
    ExitProcess(0);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    CreateProgramHeaps();

    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW);
    auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    INITCOMMONCONTROLSEX commonControls{sizeof(commonControls), kCommonControlClasses};
    InitCommonControlsEx(&commonControls);
    OleInitialize(nullptr);
    InitCommonControlsEx(&commonControls);
    CoInitialize(nullptr);

    // Without a window there is nothing to close, and no close event would
    // ever end the loop.
    if (SetUpMainWindow(icon, cursor, font)) {
        PostCommandLineDrop(MainWindowControl(kListBoxControl));
        RunEventLoop();
    }
    ShutDown();
}
