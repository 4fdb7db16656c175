#include "ui/list_box_mouse.h"

#include "base/file_list.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdlib>

namespace {

constexpr UINT_PTR kSubclassId = 1;

// The drag distances, read once when the first list box is made.
int dragWidth = 0;
int dragHeight = 0;

// A press on a selected entry that the list box never saw; the mouse is
// captured while it is remembered.
bool pressRemembered = false;
POINT pressPosition{};

void ForgetPress()
{
    if (!pressRemembered)
        return;
    pressRemembered = false;
    ReleaseCapture();
}

bool OnLeftButtonDown(HWND listBox, WPARAM keys, LPARAM position)
{
    if (keys & (MK_SHIFT | MK_CONTROL))
        return false;
    POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    int entry = FileListEntryAt(listBox, point);
    if (entry < 0 || !FileListIsSelected(listBox, entry))
        return false;
    pressPosition = point;
    pressRemembered = true;
    SetCapture(listBox);
    return true;
}

// The second press of a double click arrives as a double-click message,
// which the list box takes as a press of its own that selects the entry
// alone. On a selected entry it is kept from the list box as the first press
// was, and the double click is still reported to the parent.
bool OnLeftButtonDoubleClick(HWND listBox, WPARAM keys, LPARAM position)
{
    if (!OnLeftButtonDown(listBox, keys, position))
        return false;
    if (GetWindowLongPtrW(listBox, GWL_STYLE) & LBS_NOTIFY)
        SendMessageW(GetParent(listBox), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(listBox), LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(listBox));
    return true;
}

void OnMouseMove(LPARAM position)
{
    if (!pressRemembered)
        return;
    if (abs(GET_X_LPARAM(position) - pressPosition.x) > dragWidth ||
        abs(GET_Y_LPARAM(position) - pressPosition.y) > dragHeight)
        ForgetPress();
}

LRESULT CALLBACK ListBoxMouseProc(HWND listBox, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        if (OnLeftButtonDown(listBox, wParam, lParam))
            return 0;
        break;
    case WM_LBUTTONDBLCLK:
        if (OnLeftButtonDoubleClick(listBox, wParam, lParam))
            return 0;
        break;
    case WM_MOUSEMOVE: OnMouseMove(lParam); break;
    case WM_LBUTTONUP: ForgetPress(); break;
    // Someone else took the capture: the press is over without its release.
    case WM_CAPTURECHANGED: pressRemembered = false; break;
    case WM_NCDESTROY: RemoveWindowSubclass(listBox, ListBoxMouseProc, kSubclassId); break;
    }
    return DefSubclassProc(listBox, message, wParam, lParam);
}

} // namespace

void AttachListBoxMouseHandling(HWND listBox)
{
    if (dragWidth == 0 && dragHeight == 0) {
        dragWidth = GetSystemMetrics(SM_CXDRAG);
        dragHeight = GetSystemMetrics(SM_CYDRAG);
    }
    SetWindowSubclass(listBox, ListBoxMouseProc, kSubclassId, 0);
}
