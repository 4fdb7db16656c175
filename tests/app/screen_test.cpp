// What the screen shows: the window paints its controls, not an empty frame.
#include "tests/app/tolvane_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

// The pixels of `rect` (screen coordinates) as the screen shows them.
std::vector<COLORREF> ScreenPixels(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    std::vector<COLORREF> pixels;
    for (int i = 0; i < width * height; ++i) {
        DWORD bgr = static_cast<const DWORD*>(bits)[i];
        pixels.push_back(RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// How many pixels show the most frequent colour: the control's background.
size_t BackgroundCount(const std::vector<COLORREF>& pixels)
{
    std::map<COLORREF, size_t> counts;
    size_t most = 0;
    for (COLORREF pixel : pixels)
        most = std::max(most, ++counts[pixel]);
    return most;
}

class Screen : public testing::TestWithParam<ControlNumber> {};

// An unpainted control shows one plain colour (the window's button face, or
// black); a painted one shows mostly its own background with ink on it: the
// caption, the box, the borders.
TEST_P(Screen, ShowsTheControlPainted)
{
    TolvaneProcess tolvane;
    MovePointer({1200, 1000}); // no tooltip over the window
    HWND control = tolvane.Control(GetParam());
    RECT rect{};
    GetWindowRect(control, &rect);
    size_t total = 0, plain = 0;
    WaitUntil([&] {
        std::vector<COLORREF> pixels = ScreenPixels(rect);
        total = pixels.size();
        plain = BackgroundCount(pixels);
        return plain > total / 2 && total - plain >= 60;
    });
    EXPECT_GT(plain, total / 2) << "control " << GetParam() << " does not show its background";
    EXPECT_GE(total - plain, 60u) << "control " << GetParam() << " shows no text or border";
}

INSTANTIATE_TEST_SUITE_P(App, Screen,
                         testing::Values(kListBoxControl, kClearButtonControl, kDecodeButtonControl,
                                         kFilterCheckBoxControl, kCharsetCheckBoxControl, kReferencesCheckBoxControl));

} // namespace
