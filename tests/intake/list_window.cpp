#include "intake/list_window.h"

#include "base/file_list.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kClassName[] = L"TolvaneIntakeTestWindow";

void RegisterClassOnce()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    registered = RegisterClassExW(&windowClass) != 0;
}

} // namespace

ListWindow::ListWindow()
{
    RegisterClassOnce();
    window_ = CreateWindowExW(0, kClassName, L"Intake test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0,
                              990, 560, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_TRUE(window_) << "no window, error " << GetLastError();
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"ListBox", nullptr,
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_MULTIPLESEL |
                                LBS_EXTENDEDSEL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                            0, 150, 960, 370, window_, reinterpret_cast<HMENU>(0), GetModuleHandleW(nullptr), nullptr);
    filter_ = CreateWindowExW(0, L"Button", L"Filter for *.htm*", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 300, 20, 200,
                              20, window_, reinterpret_cast<HMENU>(4), GetModuleHandleW(nullptr), nullptr);
    EXPECT_TRUE(list_ && filter_);
    UpdateWindow(window_);
    PumpMessages();
}

ListWindow::~ListWindow()
{
    if (window_)
        DestroyWindow(window_);
    PumpMessages();
}

void ListWindow::SetFilter(bool ticked) const
{
    SendMessageW(filter_, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void ListWindow::Add(const std::vector<std::wstring>& topDown) const
{
    for (const std::wstring& text : topDown)
        SendMessageW(list_, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::wstring> ListWindow::Entries() const
{
    std::vector<std::wstring> entries;
    for (int i = 0, count = FileListCount(list_); i < count; ++i)
        entries.push_back(FileListText(list_, i));
    return entries;
}

std::vector<int> ListWindow::Selected() const
{
    std::vector<int> selected;
    for (int i = 0, count = FileListCount(list_); i < count; ++i)
        if (FileListIsSelected(list_, i))
            selected.push_back(i);
    return selected;
}

void ListWindow::Select(const std::vector<int>& entries) const
{
    SendMessageW(list_, LB_SETSEL, FALSE, -1);
    for (int entry : entries)
        SendMessageW(list_, LB_SETSEL, TRUE, entry);
}

POINT ListWindow::EntryPoint(int index) const
{
    RECT rect{};
    if (index >= 0) {
        SendMessageW(list_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    } else {
        GetClientRect(list_, &rect);
        rect.top = rect.bottom - 10;
    }
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(list_, &point);
    return point;
}

POINT ListWindow::OutsideListPoint() const
{
    POINT point{700, 60};
    ClientToScreen(window_, &point);
    return point;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
