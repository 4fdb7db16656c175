#include "ui/long_work_window.h"

#include "base/unique_handle.h"
#include "ui/controls.h"
#include "ui/focus.h"
#include "ui/main_window.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kMarqueeStepMs = 30;

std::vector<HWND> disabledControls;
HWND focusBefore = nullptr;
bool progressShown = false;

// The taskbar button's progress (Windows 7 and later). Asked for once; where
// it is missing the display in the window is all there is.
ComPtr<ITaskbarList3> taskbar;
bool taskbarAsked = false;

ITaskbarList3* Taskbar()
{
    if (!taskbarAsked) {
        taskbarAsked = true;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(taskbar.Put()))) ||
            (taskbar && FAILED(taskbar->HrInit())))
            taskbar.Reset();
    }
    return taskbar.Get();
}

void SetMarquee(HWND bar, bool on)
{
    LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    LONG_PTR wanted = on ? style | PBS_MARQUEE : style & ~static_cast<LONG_PTR>(PBS_MARQUEE);
    if (wanted != style)
        SetWindowLongPtrW(bar, GWL_STYLE, wanted);
    SendMessageW(bar, PBM_SETMARQUEE, on, kMarqueeStepMs);
}

std::wstring ProgressText(const LongWorkProgress& progress)
{
    if (progress.kind == LongWorkKind::Decode)
        return L"Converting " + GroupedCount(progress.done + 1) + L" of " + GroupedCount(progress.total) + L": " +
               std::wstring(progress.place);
    return L"Adding files: " + GroupedCount(progress.done) + L" found in " + std::wstring(progress.place);
}

void ShowTaskbarProgress(const LongWorkProgress& progress)
{
    ITaskbarList3* button = Taskbar();
    if (!button)
        return;
    HWND window = MainWindow();
    if (progress.kind == LongWorkKind::Decode) {
        button->SetProgressState(window, TBPF_NORMAL);
        button->SetProgressValue(window, static_cast<ULONGLONG>(progress.done), static_cast<ULONGLONG>(progress.total));
    } else {
        button->SetProgressState(window, TBPF_INDETERMINATE);
    }
}

void HideProgress()
{
    if (!progressShown)
        return;
    progressShown = false;
    for (ControlNumber number : kProgressControls)
        if (HWND control = MainWindowControl(number))
            ShowWindow(control, SW_HIDE);
    if (HWND bar = MainWindowControl(kProgressBarControl))
        SetMarquee(bar, false);
    if (ITaskbarList3* button = Taskbar())
        button->SetProgressState(MainWindow(), TBPF_NOPROGRESS);
}

void GiveFocusBack()
{
    HWND window = MainWindow();
    if (GetActiveWindow() == window)
        SetFocus(focusBefore);
    else
        SetFocusOnActivation(focusBefore);
    focusBefore = nullptr;
}

} // namespace

void EnterLongWorkInMainWindow()
{
    HWND window = MainWindow();
    HWND focus = GetFocus();
    focusBefore = focus && IsChild(window, focus) ? focus : FocusOnActivation();
    // Disabling the focused control takes the focus away from it; keys then
    // go to the main window itself, where the event wait still sees them.
    disabledControls.clear();
    for (ControlNumber number : kControlCreationOrder) {
        HWND control = MainWindowControl(number);
        if (control && IsWindowEnabled(control)) {
            disabledControls.push_back(control);
            EnableWindow(control, FALSE);
        }
    }
}

void ShowLongWorkProgress(const LongWorkProgress& progress)
{
    HWND bar = MainWindowControl(kProgressBarControl);
    HWND text = MainWindowControl(kProgressTextControl);
    if (!progressShown) {
        progressShown = true;
        if (bar) {
            SetMarquee(bar, progress.kind == LongWorkKind::Intake);
            SendMessageW(bar, PBM_SETPOS, 0, 0);
        }
        for (ControlNumber number : kProgressControls)
            if (HWND control = MainWindowControl(number))
                ShowWindow(control, SW_SHOWNA);
    }
    if (bar && progress.kind == LongWorkKind::Decode) {
        SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(progress.total));
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(progress.done), 0);
    }
    if (text)
        SetWindowTextW(text, ProgressText(progress).c_str());
    ShowTaskbarProgress(progress);
}

void LeaveLongWorkInMainWindow()
{
    for (HWND control : disabledControls)
        if (IsWindow(control))
            EnableWindow(control, TRUE);
    disabledControls.clear();
    HideProgress();
    GiveFocusBack();
}
