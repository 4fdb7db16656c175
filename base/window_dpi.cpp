#include "base/window_dpi.h"

namespace {

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiCall = int(WINAPI*)(int, UINT);
// shcore's GetDpiForMonitor with MDT_EFFECTIVE_DPI (0).
using GetDpiForMonitorCall = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;

template <typename Call> Call Lookup(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

HMODULE User32()
{
    return GetModuleHandleW(L"user32.dll");
}

// Loaded once, on first use, and kept for the life of the process.
GetDpiForMonitorCall GetDpiForMonitorFunction()
{
    static GetDpiForMonitorCall call = Lookup<GetDpiForMonitorCall>(LoadLibraryW(L"shcore.dll"), "GetDpiForMonitor");
    return call;
}

} // namespace

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT MonitorDpi(HMONITOR monitor)
{
    if (GetDpiForMonitorCall call = GetDpiForMonitorFunction()) {
        UINT x = 0, y = 0;
        if (monitor && SUCCEEDED(call(monitor, kEffectiveDpi, &x, &y)) && x > 0)
            return x;
    }
    return SystemDpi();
}

UINT WindowDpi(HWND window)
{
    static auto call = Lookup<GetDpiForWindowCall>(User32(), "GetDpiForWindow");
    if (call && window) {
        if (UINT dpi = call(window))
            return dpi;
    }
    return MonitorDpi(window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) : nullptr);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, UINT dpi)
{
    static auto call = Lookup<AdjustWindowRectExForDpiCall>(User32(), "AdjustWindowRectExForDpi");
    if (call && call(&rect, style, FALSE, exStyle, dpi))
        return;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}

int SystemMetricForDpi(int index, UINT dpi)
{
    static auto call = Lookup<GetSystemMetricsForDpiCall>(User32(), "GetSystemMetricsForDpi");
    if (call)
        return call(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}
