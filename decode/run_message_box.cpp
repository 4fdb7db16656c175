#include "decode/run_message_box.h"

#include <new>
#include <vector>

namespace {

// The thread's top-level windows that the box changes, to be put back after.
struct SetAside {
    HWND owner = nullptr;
    std::vector<HWND> disabled;
    std::vector<HWND> topmost;
};

HWND OwnForegroundWindow()
{
    HWND foreground = GetForegroundWindow();
    DWORD process = 0;
    if (!foreground || !GetWindowThreadProcessId(foreground, &process) || process != GetCurrentProcessId())
        return nullptr;
    return foreground;
}

BOOL CALLBACK NoteThreadWindow(HWND window, LPARAM param)
{
    SetAside& aside = *reinterpret_cast<SetAside*>(param);
    // A window that cannot be noted for want of memory is left as it is, so
    // that none stays changed after the box.
    try {
        if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST)
            aside.topmost.push_back(window);
        // The box disables its owner itself and enables it again before it
        // goes, so that the owner is the window activated when the box closes.
        if (window != aside.owner && IsWindowVisible(window) && IsWindowEnabled(window))
            aside.disabled.push_back(window);
    } catch (const std::bad_alloc&) {
    }
    return TRUE;
}

constexpr UINT kKeepPlace = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;

} // namespace

void ShowRunMessage(const wchar_t* title, const wchar_t* text)
{
    SetAside aside;
    aside.owner = OwnForegroundWindow();
    EnumThreadWindows(GetCurrentThreadId(), NoteThreadWindow, reinterpret_cast<LPARAM>(&aside));
    for (HWND window : aside.topmost)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kKeepPlace);
    for (HWND window : aside.disabled)
        EnableWindow(window, FALSE);

    MessageBoxW(aside.owner, text, title, MB_OK);

    // A window may have been destroyed while the box's modal loop ran.
    for (HWND window : aside.disabled)
        if (IsWindow(window))
            EnableWindow(window, TRUE);
    for (HWND window : aside.topmost)
        if (IsWindow(window))
            SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kKeepPlace);
}
