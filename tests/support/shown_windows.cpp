#include "support/shown_windows.h"

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;

struct ShownWindowSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindShownWindowProc(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ShownWindowSearch*>(param);
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    if (_wcsicmp(className, search->className) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindShownWindow(DWORD threadId, const wchar_t* className)
{
    ShownWindowSearch search{className, nullptr};
    EnumThreadWindows(threadId, FindShownWindowProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxContent ReadMessageBox(HWND box)
{
    // Long enough for a box that names thirty paths.
    static constexpr int kCapacity = 16384;
    MessageBoxContent content;
    std::wstring buffer(kCapacity, L'\0');
    buffer.resize(static_cast<size_t>(GetWindowTextW(box, buffer.data(), kCapacity)));
    content.title = buffer;
    buffer.assign(kCapacity, L'\0');
    buffer.resize(static_cast<size_t>(GetDlgItemTextW(box, kMessageBoxTextId, buffer.data(), kCapacity)));
    content.text = buffer;
    return content;
}

void DismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}
