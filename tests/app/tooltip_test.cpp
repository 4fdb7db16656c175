// Balloon help: resting the pointer on a control shows its own text.
#include "tests/app/tolvane_driver.h"

#include <gtest/gtest.h>

namespace {

struct TipCase {
    const char* name;
    ControlNumber control;
    const wchar_t* text;
};

void PrintTo(const TipCase& c, std::ostream* out)
{
    *out << c.name;
}

const TipCase kTipCases[] = {
    {"FileList", kListBoxControl,
     L"Drag'n'drop file here\n\rclick with Ctrl for multiple selection, press Del for Delete Items"},
    {"ClearButton", kClearButtonControl, L"Clear list of files"},
    {"DecodeButton", kDecodeButtonControl, L"Start Decoding files"},
    {"FilterCheckBox", kFilterCheckBoxControl, L"Filter only *htm or *.html"},
    {"CharsetCheckBox", kCharsetCheckBoxControl, L"Try to detect charset=utf-8"},
    {"ReferencesCheckBox", kReferencesCheckBoxControl,
     L"Characters the code page lacks become &#NNNN; in .htm/.html files (not in <script> or <style>)"},
};

// The text of the tooltip the program shows now; empty when none shows.
std::wstring ShownTipText(DWORD threadId)
{
    HWND tip = FindShownWindow(threadId, L"tooltips_class32");
    if (!tip)
        return {};
    // The tooltip answers WM_GETTEXT with the text it shows.
    wchar_t text[256] = L"";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(tip, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &copied);
    return text;
}

class Tooltips : public testing::TestWithParam<TipCase> {};

TEST_P(Tooltips, ShowTheControlsOwnTextWhileThePointerRests)
{
    TolvaneProcess tolvane;
    MovePointer({1200, 1000}); // away from the window
    Sleep(100);
    MovePointer(CentreOf(tolvane.Control(GetParam().control)));
    std::wstring shown;
    EXPECT_TRUE(WaitUntil([&] { return !(shown = ShownTipText(tolvane.ThreadId())).empty(); }, 5000))
        << "no tooltip appeared";
    EXPECT_EQ(shown, GetParam().text);
    MovePointer({1200, 1000});
}

INSTANTIATE_TEST_SUITE_P(App, Tooltips, testing::ValuesIn(kTipCases),
                         [](const testing::TestParamInfo<TipCase>& info) { return info.param.name; });

} // namespace
