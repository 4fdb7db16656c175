#include "ui/controls.h"

#include "base/window_dpi.h"

#include <commctrl.h>

namespace {

struct ControlRecord {
    ControlNumber number;
    const wchar_t* className;
    const wchar_t* caption;
    int x, y, width, height;
    DWORD style; // besides kCommonStyle
    DWORD exStyle;
    DWORD withoutCommon = 0; // the common styles this control does not take
};

constexpr DWORD kCommonStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;

// Positions are in client pixels of the 970 x 520 main window at 96 DPI,
// scaled for the window's DPI when the control is made. No horizontal
// extent is ever set on the list, so a long path is cut off at its right edge
// and the horizontal bar never shows.
constexpr ControlRecord kControls[] = {
    {kListBoxControl, L"ListBox", L"", 0, 150, 960, 370,
     WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
     WS_EX_CLIENTEDGE},
    {kClearButtonControl, L"Button", L"Clear", 10, 10, 240, 30, BS_PUSHBUTTON, 0},
    {kDecodeButtonControl, L"Button", L"Decode", 720, 10, 240, 30, BS_PUSHBUTTON, 0},
    {kFilterCheckBoxControl, L"Button", L"Filter for *.htm*", 320, 10, 210, 30, BS_AUTOCHECKBOX, 0},
    {kCharsetCheckBoxControl, L"Button", L"delete charset UTF-8", 320, 40, 210, 30, BS_AUTOCHECKBOX, 0},
    // "&&" shows one ampersand: a single one would mark an access key.
    {kReferencesCheckBoxControl, L"Button", L"missing chars as &&#NNNN;", 320, 70, 210, 30, BS_AUTOCHECKBOX, 0},
    // The progress display, in the band between the options and the list,
    // hidden until long work has gone on for a while.
    {kProgressBarControl, PROGRESS_CLASSW, L"", 10, 113, 240, 24, 0, 0, WS_VISIBLE | WS_TABSTOP | WS_GROUP},
    {kProgressTextControl, L"Static", L"", 260, 110, 450, 30, SS_NOPREFIX | SS_PATHELLIPSIS | SS_CENTERIMAGE, 0,
     WS_VISIBLE | WS_TABSTOP | WS_GROUP},
    {kStopButtonControl, L"Button", L"Stop", 720, 110, 240, 30, BS_PUSHBUTTON, 0, WS_VISIBLE},
};

const ControlRecord* FindControlRecord(ControlNumber number)
{
    for (const ControlRecord& record : kControls)
        if (record.number == number)
            return &record;
    return nullptr;
}

// The edges are scaled rather than the size, so that controls that meet at
// 96 DPI still meet, and the list still ends at the client area's bottom.
RECT ScaledRect(const ControlRecord& record, UINT dpi)
{
    return {ScaleForDpi(record.x, dpi), ScaleForDpi(record.y, dpi), ScaleForDpi(record.x + record.width, dpi),
            ScaleForDpi(record.y + record.height, dpi)};
}

} // namespace

HWND CreateMainWindowControl(HWND parent, ControlNumber number, HFONT font, UINT dpi)
{
    const ControlRecord* record = FindControlRecord(number);
    if (!record)
        return nullptr;
    const RECT rect = ScaledRect(*record, dpi);
    HWND control = CreateWindowExW(record->exStyle, record->className, record->caption,
                                   (kCommonStyle & ~record->withoutCommon) | record->style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control)
        return nullptr;
    SetWindowLongPtrW(control, GWLP_ID, record->number);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

bool ScaleMainWindowControl(HWND control, HFONT font, UINT dpi)
{
    const ControlRecord* record = FindControlRecord(static_cast<ControlNumber>(GetDlgCtrlID(control)));
    if (!record)
        return false;
    // The font first: a list box measures its entries with it.
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const RECT rect = ScaledRect(*record, dpi);
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(control, nullptr, TRUE);
    return true;
}
