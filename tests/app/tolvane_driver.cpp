#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr const wchar_t* kWindowClass = L"WindowClass_0";
constexpr const wchar_t* kWindowTitle = L"Tolvane";

struct ThreadWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM param)
{
    auto& search = *reinterpret_cast<ThreadWindowSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[64] = L"";
    GetClassNameW(window, className, 64);
    if (process == search.processId && wcscmp(className, kWindowClass) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT MouseInput(DWORD flags, POINT screen = {})
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        // Absolute positions run from 0 to 65535 across the primary screen.
        input.mi.dx = MulDiv(screen.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
        input.mi.dy = MulDiv(screen.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    }
    return input;
}

void Send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
}

std::wstring TolvaneExePath()
{
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\') + 1);
    // The test lives in <build>\tests\app, the program in <build>\app.
    return path + L"..\\..\\app\\tolvane.exe";
}

std::wstring CommandLineArguments(const std::vector<std::wstring>& arguments)
{
    std::wstring tail;
    for (const std::wstring& argument : arguments) {
        tail += L" \"";
        size_t backslashes = 0;
        for (wchar_t c : argument) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            // Backslashes count double only before a quote.
            tail.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            tail += c;
        }
        tail.append(backslashes * 2, L'\\'); // before the closing quote
        tail += L'"';
    }
    return tail;
}

TolvaneProcess::TolvaneProcess(const wchar_t* environment, bool waitForWindow, const std::wstring& arguments)
{
    std::wstring exe = TolvaneExePath();
    std::wstring commandLine = L"\"" + exe + L"\"" + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        const_cast<wchar_t*>(environment), nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << std::string(exe.begin(), exe.end()) << ": error " << GetLastError();
        return;
    }
    process_.Reset(info.hProcess);
    CloseHandle(info.hThread);
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    if (!waitForWindow)
        return;

    ThreadWindowSearch search{processId_, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
            return search.found && IsWindowVisible(search.found) && GetForegroundWindow() == search.found &&
                   GetDlgItem(search.found, kReferencesCheckBoxControl) != nullptr;
        },
        10000);
    window_ = search.found;
    // The program has handled what its start raised and waits for input.
    WaitForInputIdle(process_.Get(), 5000);
    if (!window_)
        ADD_FAILURE() << "the Tolvane window did not appear";
    else if (GetForegroundWindow() != window_)
        ADD_FAILURE() << "the Tolvane window is not in the foreground";
    wchar_t title[32] = L"";
    GetWindowTextW(window_, title, 32);
    EXPECT_STREQ(title, kWindowTitle);
}

TolvaneProcess::~TolvaneProcess()
{
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

HWND TolvaneProcess::Control(ControlNumber number) const
{
    return GetDlgItem(window_, number);
}

DWORD TolvaneProcess::WaitForExit(DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (process_ && WaitForSingleObject(process_.Get(), milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.Get(), &code);
    return code;
}

HWND TolvaneProcess::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

bool TolvaneProcess::Activate() const
{
    SetForegroundWindow(window_);
    return WaitUntil([&] { return GetForegroundWindow() == window_; });
}

std::string TolvaneProcess::Describe(HWND window) const
{
    if (!window)
        return "no window";
    if (window == window_)
        return "the Tolvane window itself";
    char text[128] = "";
    char buffer[256];
    if (GetParent(window) == window_) {
        GetWindowTextA(window, text, sizeof text);
        snprintf(buffer, sizeof buffer, "control %d \"%s\"", GetDlgCtrlID(window), text);
    } else {
        GetClassNameA(window, text, sizeof text);
        snprintf(buffer, sizeof buffer, "window %p of class %s", static_cast<void*>(window), text);
    }
    return buffer;
}

void PressKey(WORD key, std::initializer_list<WORD> modifiers)
{
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        inputs.push_back(KeyInput(*it, true));
    Send(inputs);
}

void MovePointer(POINT screen)
{
    Send({MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, screen)});
}

void Click(POINT screen, std::initializer_list<WORD> modifiers)
{
    // The pointer comes to rest before the button goes down, as a hand's does.
    MovePointer(screen);
    Sleep(50);
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
    inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
        inputs.push_back(KeyInput(*it, true));
    Send(inputs);
}

void PressButton(POINT screen)
{
    MovePointer(screen);
    Sleep(50);
    Send({MouseInput(MOUSEEVENTF_LEFTDOWN)});
}

void ReleaseButton()
{
    Send({MouseInput(MOUSEEVENTF_LEFTUP)});
}

POINT CentreOf(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::vector<std::wstring> ListedPaths(HWND list)
{
    std::vector<std::wstring> paths;
    for (int i = 0, count = FileListCount(list); i < count; ++i)
        paths.push_back(FileListText(list, i));
    return paths;
}

std::vector<int> SelectedEntries(HWND list)
{
    std::vector<int> selected;
    for (int i = 0, count = FileListCount(list); i < count; ++i)
        if (FileListIsSelected(list, i))
            selected.push_back(i);
    return selected;
}

void ListPaths(HWND list, const std::vector<std::wstring>& topFirst)
{
    for (auto it = topFirst.rbegin(); it != topFirst.rend(); ++it)
        FileListInsertTop(list, it->c_str());
}

HWND FindMessageBox(DWORD threadId)
{
    return FindShownWindow(threadId, L"#32770");
}

std::vector<ShownBox> ReadBoxesUntilDone(DWORD threadId, DWORD milliseconds)
{
    std::vector<ShownBox> boxes;
    for (;;) {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = FindMessageBox(threadId)) != nullptr; }, milliseconds))
            return boxes;
        ShownBox shown = ReadMessageBox(box);
        boxes.push_back(shown);
        DismissMessageBox(box);
        WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        if (shown.text == L"Done!")
            return boxes;
    }
}
