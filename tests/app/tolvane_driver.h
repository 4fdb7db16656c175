// Drives the real tolvane.exe from outside, as a user does: starts it, finds
// its window, types and clicks with SendInput, reads what it shows and
// closes it. Every wait has a limit, so a broken program fails a test
// instead of hanging it.
#pragma once

#include "base/control_numbers.h"
#include "base/unique_handle.h"
#include "support/shown_windows.h"

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// Polls `done` every 20 ms until it holds or `milliseconds` have passed.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds = 5000);

// One running tolvane.exe with its window. The process is killed on
// destruction if it is still running.
class TolvaneProcess {
public:
    // Starts tolvane.exe from the build, waits until its window exists and is
    // the foreground window. `environment`, when not null, replaces the
    // inherited environment block (a double-null-terminated block).
    // `arguments` follow the program's own quoted path on its command line
    // (see CommandLineArguments).
    explicit TolvaneProcess(const wchar_t* environment = nullptr, bool waitForWindow = true,
                            const std::wstring& arguments = {});
    TolvaneProcess(const TolvaneProcess&) = delete;
    TolvaneProcess& operator=(const TolvaneProcess&) = delete;
    ~TolvaneProcess();

    HWND Window() const { return window_; }
    HWND Control(ControlNumber number) const;
    DWORD ThreadId() const { return threadId_; }

    // The exit code once the process has ended within the time limit; STILL_ACTIVE otherwise.
    DWORD WaitForExit(DWORD milliseconds = 5000);
    // The window that has the keyboard focus in the program's thread.
    HWND Focus() const;
    // Brings the window back to the foreground (after a message box, say);
    // false when it is not the foreground window within the time limit.
    [[nodiscard]] bool Activate() const;
    // A window named so that a message leaves no doubt: "no window", the
    // program's window, one of its controls by number and caption, or another
    // window by class and handle.
    std::string Describe(HWND window) const;

private:
    UniqueKernelHandle process_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

// The path of tolvane.exe in the build, next to the test's own folder.
std::wstring TolvaneExePath();

// A command line tail that CommandLineToArgvW splits back into exactly
// `arguments`: each one quoted, with backslashes before a quote doubled.
std::wstring CommandLineArguments(const std::vector<std::wstring>& arguments);

// Keyboard and mouse input through SendInput; it reaches the foreground
// window as a user's would. `modifiers` are virtual keys held around the key
// or click (VK_SHIFT, VK_CONTROL, VK_MENU).
void PressKey(WORD key, std::initializer_list<WORD> modifiers = {});
void MovePointer(POINT screen);
void Click(POINT screen, std::initializer_list<WORD> modifiers = {});
// The left button pressed at `screen` and held, then let go where the pointer is.
void PressButton(POINT screen);
void ReleaseButton();
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND window);

// The file list as the program shows it.
std::vector<std::wstring> ListedPaths(HWND list);
std::vector<int> SelectedEntries(HWND list);
// Inserts each path at the top, last one first, so that `topFirst` is the
// list's order from the top.
void ListPaths(HWND list, const std::vector<std::wstring>& topFirst);

// A message box of the program as the user sees it.
using ShownBox = MessageBoxContent;
// The message box the program's thread is showing now, null when none.
HWND FindMessageBox(DWORD threadId);
// Waits for each message box in turn, reads it and dismisses it with OK,
// until "Done!" has been read or no box appears within `milliseconds`.
std::vector<ShownBox> ReadBoxesUntilDone(DWORD threadId, DWORD milliseconds = 10000);
