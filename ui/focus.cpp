#include "ui/focus.h"

#include <cstdint>

namespace {

constexpr WORD kBothCues = UISF_HIDEFOCUS | UISF_HIDEACCEL;

// The window that had the focus when the main window was last deactivated.
HWND rememberedFocus = nullptr;

// The tab stops are counted and picked in enumeration order without being
// stored, so that moving the focus needs no memory at all.
struct TabStopWalk {
    HWND focus;                   // the current control, or null
    size_t count = 0;             // tab stops seen so far
    size_t focusIndex = SIZE_MAX; // where `focus` came in the order
    size_t wanted = SIZE_MAX;     // on the second walk: the one to pick
    HWND picked = nullptr;
};

BOOL CALLBACK VisitTabStop(HWND window, LPARAM param)
{
    if (!IsWindowEnabled(window) || !IsWindowVisible(window) || !(GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP))
        return TRUE;
    auto& walk = *reinterpret_cast<TabStopWalk*>(param);
    if (window == walk.focus)
        walk.focusIndex = walk.count;
    if (walk.count == walk.wanted)
        walk.picked = window;
    ++walk.count;
    return TRUE;
}

HWND CurrentFocusInActiveWindow()
{
    HWND focus = GetFocus();
    HWND active = GetActiveWindow();
    return focus && active && IsChild(active, focus) ? focus : nullptr;
}

} // namespace

void MoveFocus(HWND mainWindow, FocusDirection direction)
{
    TabStopWalk walk{CurrentFocusInActiveWindow()};
    EnumChildWindows(mainWindow, VisitTabStop, reinterpret_cast<LPARAM>(&walk));
    const size_t count = walk.count;
    if (count == 0)
        return;
    const size_t current = walk.focusIndex;
    if (direction == FocusDirection::Next)
        walk.wanted = current == SIZE_MAX ? 0 : (current + 1) % count;
    else
        walk.wanted = current == SIZE_MAX ? count - 1 : (current + count - 1) % count;

    walk.count = 0;
    EnumChildWindows(mainWindow, VisitTabStop, reinterpret_cast<LPARAM>(&walk));
    if (walk.picked)
        SetFocus(walk.picked);
}

void RememberFocusAcrossActivation(HWND mainWindow, bool active)
{
    if (!active) {
        rememberedFocus = GetFocus();
        LRESULT state = SendMessageW(mainWindow, WM_QUERYUISTATE, 0, 0);
        if ((state & kBothCues) != kBothCues)
            SendMessageW(mainWindow, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, kBothCues), 0);
        return;
    }
    if (rememberedFocus)
        SetFocus(rememberedFocus);
}

void ShowKeyboardCues(HWND window)
{
    LRESULT state = SendMessageW(window, WM_QUERYUISTATE, 0, 0);
    if (state & kBothCues)
        SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, kBothCues), 0);
}

HWND FocusOnActivation()
{
    return rememberedFocus;
}

void SetFocusOnActivation(HWND control)
{
    rememberedFocus = control;
}
