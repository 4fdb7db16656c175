#include "intake/drop_feedback.h"

#include "base/file_list.h"
#include "base/unique_handle.h"
#include "base/window_dpi.h"

#include <algorithm>

namespace {

// The list box's client-area DC for one drawing.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

void Redraw(HWND list, const RECT* area)
{
    RedrawWindow(list, area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// A dotted frame drawn with XOR, as DrawFocusRect draws its frame, but
// `thickness` pixels wide, so that it shows as plainly at any DPI as one
// pixel does at 96. Repainting the entry takes it away.
void DrawOutline(HDC dc, const RECT& rect, int thickness)
{
    static const WORD kDots[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
    UniqueGdiObject<HBITMAP> dots(CreateBitmap(8, 8, 1, 1, kDots));
    UniqueGdiObject<HBRUSH> brush(dots ? CreatePatternBrush(dots.Get()) : nullptr);
    if (!brush)
        return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int band = std::min(thickness, std::min(width, height) / 2);
    if (band <= 0)
        return;
    // Text and background colours make the pattern's 1 bits invert and its
    // 0 bits leave the pixels alone.
    COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
    HGDIOBJ oldBrush = SelectObject(dc, brush.Get());
    PatBlt(dc, rect.left, rect.top, width, band, PATINVERT);
    PatBlt(dc, rect.left, rect.bottom - band, width, band, PATINVERT);
    PatBlt(dc, rect.left, rect.top + band, band, height - 2 * band, PATINVERT);
    PatBlt(dc, rect.right - band, rect.top + band, band, height - 2 * band, PATINVERT);
    SelectObject(dc, oldBrush);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
}

bool GetEntryRect(HWND list, int entry, RECT& rect)
{
    return SendMessageW(list, LB_GETITEMRECT, entry, reinterpret_cast<LPARAM>(&rect)) != LB_ERR;
}

} // namespace

int ListEntryFromPoint(HWND list, POINT clientPoint)
{
    return FileListEntryAt(list, clientPoint);
}

void DrawDragOutline(HWND list, POINT clientPoint, int& outlinedEntry)
{
    int entry = ListEntryFromPoint(list, clientPoint);
    if (entry == outlinedEntry)
        return;

    // The outline is drawn with XOR; repainting the old entry erases it.
    RECT old;
    if (outlinedEntry != kNoOutlinedEntry && GetEntryRect(list, outlinedEntry, old))
        Redraw(list, &old);
    else
        Redraw(list, nullptr);

    outlinedEntry = entry;
    RECT rect, client;
    if (entry == kNoOutlinedEntry || !GetEntryRect(list, entry, rect) || !GetClientRect(list, &client))
        return;
    if (rect.bottom > client.bottom)
        rect.bottom = client.bottom;
    WindowDC dc(list);
    if (dc.Get())
        DrawOutline(dc.Get(), rect, std::max(1, ScaleForDpi(1, WindowDpi(list))));
}

void RemoveDragOutline(HWND list, int& outlinedEntry)
{
    if (outlinedEntry == kNoOutlinedEntry)
        return;
    Redraw(list, nullptr);
    outlinedEntry = kNoOutlinedEntry;
}

void ApplyDropFeedback(HWND list, POINT clientPoint, int& outlinedEntry)
{
    int entry = ListEntryFromPoint(list, clientPoint);
    Redraw(list, nullptr);
    outlinedEntry = kNoOutlinedEntry;

    // LB_SETSEL with -1 clears every entry. A range from the last entry down
    // to 0 would select, not clear, a list of one entry.
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    if (entry != kNoOutlinedEntry)
        SendMessageW(list, LB_SETSEL, TRUE, entry);
}
