#include "ui/controls.h"

namespace {

struct ControlRecord {
    ControlNumber number;
    const wchar_t* className;
    const wchar_t* caption;
    int x, y, width, height;
    DWORD style; // besides kCommonStyle
    DWORD exStyle;
};

constexpr DWORD kCommonStyle = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;

// Positions are in client pixels of the 970 x 520 main window. No horizontal
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
};

const ControlRecord* FindControlRecord(ControlNumber number)
{
    for (const ControlRecord& record : kControls)
        if (record.number == number)
            return &record;
    return nullptr;
}

} // namespace

HWND CreateMainWindowControl(HWND parent, ControlNumber number, HFONT font)
{
    const ControlRecord* record = FindControlRecord(number);
    if (!record)
        return nullptr;
    HWND control =
        CreateWindowExW(record->exStyle, record->className, record->caption, kCommonStyle | record->style, record->x,
                        record->y, record->width, record->height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!control)
        return nullptr;
    SetWindowLongPtrW(control, GWLP_ID, record->number);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}
