#include "ui/focus.h"

#include <vector>

namespace {

constexpr WORD kBothCues = UISF_HIDEFOCUS | UISF_HIDEACCEL;

// The window that had the focus when the main window was last deactivated.
HWND rememberedFocus = nullptr;

BOOL CALLBACK AddTabStop(HWND window, LPARAM param)
{
    if (IsWindowEnabled(window) && IsWindowVisible(window) && (GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
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
    std::vector<HWND> candidates;
    EnumChildWindows(mainWindow, AddTabStop, reinterpret_cast<LPARAM>(&candidates));
    if (candidates.empty())
        return;

    const size_t count = candidates.size();
    size_t current = count; // none
    if (HWND focus = CurrentFocusInActiveWindow())
        for (size_t i = 0; i < count; ++i)
            if (candidates[i] == focus)
                current = i;

    size_t chosen;
    if (direction == FocusDirection::Next)
        chosen = current == count ? 0 : (current + 1) % count;
    else
        chosen = current == count ? count - 1 : (current + count - 1) % count;
    SetFocus(candidates[chosen]);
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
