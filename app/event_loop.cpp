#include "app/event_loop.h"

#include "app/commands.h"
#include "base/long_work.h"
#include "decode/decode_file_list.h"
#include "intake/drop_intake.h"
#include "ui/command_numbers.h"
#include "ui/focus.h"
#include "ui/long_work_window.h"
#include "ui/main_window.h"

namespace {

bool IsModifierHeld()
{
    return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

// Accelerators only while the main window is active, so that a message box
// or another top-level window of the thread keeps its own keys.
bool TranslateMainWindowKey(MSG& message)
{
    HWND active = GetActiveWindow();
    if (active && IsModifierHeld())
        ShowKeyboardCues(active);
    HWND mainWindow = MainWindow();
    if (!active || active != mainWindow)
        return false;
    if (!TranslateAcceleratorW(mainWindow, MainWindowAccelerators(), &message))
        return false;
    ShowKeyboardCues(active);
    return true;
}

// Messages handled in one turn of long work at most, so that a stream of new
// ones cannot hold the work up.
constexpr int kMessagesPerTurn = 100;

// Esc stops long work while the main window is active. With the focused
// control disabled, keys reach the main window as system keys.
bool IsStopKey(const MSG& message)
{
    return (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) && message.wParam == VK_ESCAPE &&
           GetActiveWindow() == MainWindow();
}

// Long work's turn: the messages that wait, handled as the event wait
// handles them, so that the events they raise wait in the queue until the
// command has ended. Never waits for a message.
void HandlePendingMessages()
{
    MSG message;
    for (int handled = 0; handled < kMessagesPerTurn && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
        if (IsStopKey(message)) {
            RequestLongWorkStop(LongWorkStop::User);
            continue;
        }
        if (!TranslateMainWindowKey(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void RunControlCommand(int control)
{
    switch (control) {
    case kClearButtonControl: ClearFileList(MainWindowControl(kListBoxControl)); break;
    case kDecodeButtonControl:
        DecodeFileList(MainWindowControl(kListBoxControl), MainWindowControl(kCharsetCheckBoxControl),
                       MainWindowControl(kReferencesCheckBoxControl));
        break;
    }
}

} // namespace

EventKind WaitForEvent()
{
    EventKind kind = TakeEvent();
    if (kind != EventKind::None)
        return kind;

    MSG message;
    // -1 only for an invalid window filter, which a null filter cannot be;
    // WM_QUIT is never posted, as the program ends by its close event.
    if (GetMessageW(&message, nullptr, 0, 0) <= 0)
        return EventKind::None;
    if (!TranslateMainWindowKey(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return EventKind::None;
}

void RunEventLoop()
{
    SetLongWorkWindow(
        {EnterLongWorkInMainWindow, HandlePendingMessages, ShowLongWorkProgress, LeaveLongWorkInMainWindow});
    // A close during long work ends the loop as soon as the work has
    // stopped; the events still waiting are dropped, as at any close.
    while (!LongWorkEndsProgram()) {
        switch (WaitForEvent()) {
        case EventKind::Shortcut:
            if (CurrentEventSource() == kDeleteCommand)
                DeleteSelectedEntries(MainWindowControl(kListBoxControl));
            break;
        // A drop anywhere on the window adds its files, as a drop on the list does.
        case EventKind::ListDrop:
        case EventKind::WindowDrop:
            HandleListDrop(CurrentEventData(), MainWindowControl(kListBoxControl),
                           MainWindowControl(kFilterCheckBoxControl));
            break;
        case EventKind::Control: RunControlCommand(CurrentEventSource()); break;
        case EventKind::Close: return;
        default: break;
        }
    }
}
