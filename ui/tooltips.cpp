#include "ui/tooltips.h"

#include "ui/main_window.h"

#include <commctrl.h>

#include <cstddef>
#include <cwchar>
#include <iterator>
#include <string>

namespace {

// The tool record without lpReserved: 44 bytes in the x86 build, the same
// fields in 64 bytes in the x64 build.
// (TTTOOLINFOW_V2_SIZE, spelt so that the compiler can check it.)
constexpr UINT kToolRecordSize = offsetof(TTTOOLINFOW, lParam) + sizeof(TTTOOLINFOW::lParam);
static_assert(kToolRecordSize == (sizeof(void*) == 8 ? 64 : 44));

constexpr UINT kAutoPopDelay = 15000;

struct TipRecord {
    ControlNumber control;
    const wchar_t* text;
};

// In the order in which a request's idFrom is compared.
constexpr TipRecord kTips[] = {
    {kListBoxControl, L"Drag'n'drop file here\n\rclick with Ctrl for multiple selection, press Del for Delete Items"},
    {kClearButtonControl, L"Clear list of files"},
    {kDecodeButtonControl, L"Start Decoding files"},
    {kCharsetCheckBoxControl, L"Try to detect charset=utf-8"},
    {kFilterCheckBoxControl, L"Filter only *htm or *.html"},
    {kReferencesCheckBoxControl,
     L"Characters the code page lacks become &#NNNN; in .htm/.html files (not in <script> or <style>)"},
};

// The text handed to the tooltip last. The tooltip reads it after the request
// has been answered, so it must outlive the handler: it stays valid until the
// next request replaces it.
wchar_t tipText[128] = L"";

const wchar_t* FindTipText(UINT_PTR tool)
{
    for (const TipRecord& tip : kTips)
        if (reinterpret_cast<UINT_PTR>(MainWindowControl(tip.control)) == tool)
            return tip.text;
    return nullptr;
}

constexpr bool FitsTipText()
{
    for (const TipRecord& tip : kTips)
        if (std::char_traits<wchar_t>::length(tip.text) >= std::size(tipText))
            return false;
    return true;
}
static_assert(FitsTipText());

} // namespace

void CreateControlTooltip(HWND mainWindow, HWND control, int maxTipWidth)
{
    HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, L"", TTS_NOPREFIX | TTS_BALLOON, 0, 0, 0, 0, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, GetSysColor(COLOR_INFOTEXT), 0);
    SendMessageW(tooltip, TTM_SETTIPBKCOLOR, GetSysColor(COLOR_INFOBK), 0);
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, maxTipWidth);

    TTTOOLINFOW tool{};
    tool.cbSize = kToolRecordSize;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, kAutoPopDelay);
    SendMessageW(tooltip, TTM_UPDATE, 0, 0);
}

bool SupplyTipText(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return false;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    if (info->hdr.code != TTN_GETDISPINFOW)
        return false;
    const wchar_t* text = FindTipText(info->hdr.idFrom);
    if (!text)
        return false;
    // Only lpszText is written: TTF_DI_SETITEM stays clear, so the tooltip
    // asks again on its next showing.
    wcsncpy(tipText, text, std::size(tipText) - 1);
    info->lpszText = tipText;
    return true;
}
