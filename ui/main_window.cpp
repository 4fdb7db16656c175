#include "ui/main_window.h"

#include "base/event_queue.h"
#include "base/long_work.h"
#include "base/window_dpi.h"
#include "intake/drop_intake.h"
#include "ui/command_numbers.h"
#include "ui/control_font.h"
#include "ui/controls.h"
#include "ui/focus.h"
#include "ui/list_box_mouse.h"
#include "ui/tooltips.h"

#include <commctrl.h>
#include <ole2.h>
#include <windowsx.h>

#include <cwchar>
#include <iterator>

namespace {

constexpr int kWindowNumber = 0;
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU;
// At 96 DPI; scaled for the DPI of the window's monitor.
constexpr int kClientWidth = 970;
constexpr int kClientHeight = 520;
constexpr int kMaxTipWidth = 300;
// Icon group 1 of the executable, which holds an image for every size.
constexpr int kIconResource = 1;

struct IconTraits {
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static bool Release(Type h) { return DestroyIcon(h) != FALSE; }
};
using UniqueIcon = UniqueHandle<IconTraits>;

// Tab and Shift+Tab first; the Delete entry is appended once the window is
// complete. An entry without FSHIFT, FCONTROL or FALT matches only with none
// of them held, so Shift+Delete and Ctrl+Delete reach the focused control.
constexpr ACCEL kAccelerators[] = {
    {FVIRTKEY | FNOINVERT, VK_TAB, kFocusNextCommand},
    {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, kFocusPreviousCommand},
    {FVIRTKEY | FNOINVERT, VK_DELETE, kDeleteCommand},
};
constexpr int kTabAccelerators = 2;

wchar_t className[32] = L"";
HWND mainWindow = nullptr;
HWND controls[kStopButtonControl + 1] = {};
HACCEL accelerators = nullptr;
// The DPI the window and its controls are made for, and the controls' font:
// the stock font the setup was given, or one made for the DPI (which must
// outlive every control that uses it).
UINT windowDpi = kBaseDpi;
HFONT stockFont = nullptr;
UniqueFont dpiFont;
// The title bar's and the taskbar's icons, loaded at the sizes of the
// window's DPI; the window uses them until they are replaced.
UniqueIcon smallIcon;
UniqueIcon bigIcon;
// Messages received before the tooltips can ask (creation, first showing)
// skip the tip text supply.
bool tipTextSupplyInstalled = false;

void ReplaceAccelerators(int count)
{
    if (accelerators)
        DestroyAcceleratorTable(accelerators);
    accelerators = CreateAcceleratorTableW(const_cast<ACCEL*>(kAccelerators), count);
}

bool IsControlWindow(HWND window)
{
    for (HWND control : controls)
        if (control && control == window)
            return true;
    return false;
}

HFONT ControlFont()
{
    return dpiFont ? dpiFont.Get() : stockFont;
}

// The outer rectangle of the window at `dpi`, with its top-left corner at 0, 0.
RECT OuterRect(UINT dpi)
{
    RECT frame{0, 0, ScaleForDpi(kClientWidth, dpi), ScaleForDpi(kClientHeight, dpi)};
    AdjustWindowRectForDpi(frame, kWindowStyle, 0, dpi);
    return {0, 0, frame.right - frame.left, frame.bottom - frame.top};
}

BOOL CALLBACK SetTooltipWidth(HWND window, LPARAM width)
{
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0)
        SendMessageW(window, TTM_SETMAXTIPWIDTH, 0, width);
    return TRUE;
}

// Gives the window the images of its icon drawn for the DPI's icon sizes,
// rather than leaving the system to stretch the class icon. Where the
// executable has no icon, the class icon stays.
void SetWindowIcons(HWND window, UINT dpi)
{
    auto load = [dpi](int widthMetric, int heightMetric) {
        return UniqueIcon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource),
                                                        IMAGE_ICON, SystemMetricForDpi(widthMetric, dpi),
                                                        SystemMetricForDpi(heightMetric, dpi), LR_DEFAULTCOLOR)));
    };
    UniqueIcon small = load(SM_CXSMICON, SM_CYSMICON);
    UniqueIcon big = load(SM_CXICON, SM_CYICON);
    if (small)
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    if (big)
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
    // The old icons go only once the window has let go of them.
    if (small)
        smallIcon = std::move(small);
    if (big)
        bigIcon = std::move(big);
}

// Message handlers, one per message.

void OnCommand(HWND window, int id, HWND control, UINT code)
{
    if (control) {
        if (!IsControlWindow(control))
            return;
        // Stop acts at once, inside the work it stops.
        if (control == controls[kStopButtonControl]) {
            if (code == BN_CLICKED)
                RequestLongWorkStop(LongWorkStop::User);
            return;
        }
        if (control == controls[kListBoxControl]) {
            if (code == LBN_SELCHANGE || code == LBN_DBLCLK)
                PostEvent(EventKind::Control, kListBoxControl, window, code, nullptr, nullptr);
            return;
        }
        PostEvent(EventKind::Control, GetDlgCtrlID(control), window, code, nullptr, nullptr);
        return;
    }
    const bool fromAccelerator = code == 1;
    if (fromAccelerator && id == kFocusNextCommand)
        MoveFocus(window, FocusDirection::Next);
    else if (fromAccelerator && id == kFocusPreviousCommand)
        MoveFocus(window, FocusDirection::Previous);
    else
        PostEvent(EventKind::Shortcut, static_cast<WORD>(id), window, code, nullptr, nullptr);
}

void OnClose(HWND window)
{
    // The window stays; the event loop ends and the shut-down destroys it.
    // Long work in progress stops first, with the file in hand finished.
    RequestLongWorkStop(LongWorkStop::Close);
    PostEvent(EventKind::Close, 0, window, 0, nullptr, nullptr);
}

void OnEndSession(HWND, BOOL ending)
{
    // The system may end the process as soon as this returns.
    if (ending)
        EndLongWorkForSession();
}

LRESULT OnActivate(HWND window, UINT state)
{
    const bool active = state != WA_INACTIVE;
    RememberFocusAcrossActivation(window, active);
    PostEvent(active ? EventKind::Activate : EventKind::Deactivate, 0, window, state, nullptr, nullptr);
    // Not passed on: DefWindowProcW would give the focus to the main window
    // itself on activation.
    return 1;
}

// The window moved to a monitor of another DPI (or that monitor's scale
// changed): take the rectangle the system suggests and make every control,
// the font and the tooltips' width for the new DPI.
LRESULT OnDpiChanged(HWND window, UINT dpi, const RECT* suggested)
{
    if (dpi == 0)
        return 0;
    windowDpi = dpi;
    UniqueFont font = CreateControlFont(stockFont, dpi);
    HFONT controlFont = font ? font.Get() : stockFont;
    if (suggested)
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND control : controls)
        if (control)
            ScaleMainWindowControl(control, controlFont, dpi);
    // The old font goes only now that no control uses it.
    dpiFont = std::move(font);
    SetWindowIcons(window, dpi);
    // The tooltips are the thread's own; the program keeps no handle to them.
    EnumThreadWindows(GetCurrentThreadId(), SetTooltipWidth, ScaleForDpi(kMaxTipWidth, dpi));
    return 0;
}

BOOL CALLBACK ForwardSysColorChange(HWND child, LPARAM)
{
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

void OnSysColorChange(HWND window)
{
    EnumChildWindows(window, ForwardSysColorChange, 0);
}

// Events that the loop ignores, raised for the messages that carry them.
void PostIgnoredEvent(HWND window, EventKind kind, UINT message)
{
    PostEvent(kind, 0, window, message, nullptr, nullptr);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (tipTextSupplyInstalled && SupplyTipText(window, message, wParam, lParam))
        return 0;

    switch (message) {
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_CLOSE, OnClose);
        HANDLE_MSG(window, WM_ENDSESSION, OnEndSession);
    case WM_ACTIVATE: return OnActivate(window, LOWORD(wParam));
    case WM_DPICHANGED: return OnDpiChanged(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    case WM_SYSCOLORCHANGE: OnSysColorChange(window); break;
    case WM_ERASEBKGND: PostIgnoredEvent(window, EventKind::EraseBackground, message); break;
    case WM_MOVE: PostIgnoredEvent(window, EventKind::Move, message); return 0;
    case WM_SIZE: PostIgnoredEvent(window, EventKind::Size, message); return 0;
    case WM_TIMER: PostIgnoredEvent(window, EventKind::Timer, message); return 0;
    case WM_LBUTTONUP: PostIgnoredEvent(window, EventKind::LeftButtonUp, message); return 0;
    case WM_RBUTTONUP: PostIgnoredEvent(window, EventKind::RightButtonUp, message); return 0;
    case WM_LBUTTONDBLCLK: PostIgnoredEvent(window, EventKind::LeftButtonDoubleClick, message); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance, HICON icon, HCURSOR cursor)
{
    swprintf(className, std::size(className), L"WindowClass_%d", kWindowNumber);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    return RegisterClassW(&windowClass) != 0;
}

// The outer top-left corner goes to the top-left corner of the primary
// monitor's work area, so that a taskbar docked at the top or the left does
// not cover the title bar. The client area is fixed at the monitor's DPI; the
// outer size follows from the frame.
HWND CreateMainWindow(HINSTANCE instance)
{
    HMONITOR monitor = MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    RECT work{};
    if (GetMonitorInfoW(monitor, &info))
        work = info.rcWork;
    windowDpi = MonitorDpi(monitor);
    const RECT outer = OuterRect(windowDpi);
    HWND window = CreateWindowExW(0, className, L"Tolvane", kWindowStyle, work.left, work.top, outer.right,
                                  outer.bottom, nullptr, nullptr, instance, nullptr);
    // Where the monitor's DPI cannot be asked, the window knows its own.
    const UINT dpi = window ? WindowDpi(window) : windowDpi;
    if (window && dpi != windowDpi) {
        windowDpi = dpi;
        const RECT resized = OuterRect(dpi);
        SetWindowPos(window, nullptr, 0, 0, resized.right, resized.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

void CreateControl(ControlNumber number)
{
    controls[number] = CreateMainWindowControl(mainWindow, number, ControlFont(), windowDpi);
}

} // namespace

bool SetUpMainWindow(HICON icon, HCURSOR cursor, HFONT font)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    RegisterMainWindowClass(instance, icon, cursor);
    stockFont = font;
    mainWindow = CreateMainWindow(instance);
    if (!mainWindow)
        return false;
    dpiFont = CreateControlFont(stockFont, windowDpi);
    SetWindowIcons(mainWindow, windowDpi);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    ReplaceAccelerators(kTabAccelerators);
    tipTextSupplyInstalled = true;

    // The creation order is the child order, and so the tab order.
    CreateControl(kListBoxControl);
    if (HWND list = controls[kListBoxControl]) {
        AttachListBoxMouseHandling(list);
        RegisterDropTarget(list, DropTargetKind::Control);
    }
    CreateControl(kClearButtonControl);
    CreateControl(kDecodeButtonControl);
    CreateControl(kFilterCheckBoxControl);
    CreateControl(kCharsetCheckBoxControl);
    CreateControl(kReferencesCheckBoxControl);
    for (ControlNumber number : kProgressControls)
        CreateControl(number);

    for (ControlNumber number : kControlCreationOrder)
        if (HWND control = controls[number])
            CreateControlTooltip(mainWindow, control, ScaleForDpi(kMaxTipWidth, windowDpi));

    RegisterDropTarget(mainWindow, DropTargetKind::Window);
    ReplaceAccelerators(std::size(kAccelerators));
    return true;
}

HWND MainWindow()
{
    return mainWindow;
}

HWND MainWindowControl(ControlNumber number)
{
    return number >= 0 && number < static_cast<int>(std::size(controls)) ? controls[number] : nullptr;
}

HACCEL MainWindowAccelerators()
{
    return accelerators;
}

void CloseMainWindow()
{
    if (mainWindow) {
        // The registrations hold references to the drop targets; destroying
        // the windows alone would leave them behind.
        if (HWND list = controls[kListBoxControl])
            RevokeDragDrop(list);
        RevokeDragDrop(mainWindow);
        DestroyWindow(mainWindow);
    }
    mainWindow = nullptr;
    for (HWND& control : controls)
        control = nullptr;
    tipTextSupplyInstalled = false;
    dpiFont.Reset();
    smallIcon.Reset();
    bigIcon.Reset();
    windowDpi = kBaseDpi;
    UnregisterClassW(className, GetModuleHandleW(nullptr));
    if (accelerators)
        DestroyAcceleratorTable(accelerators);
    accelerators = nullptr;
}
