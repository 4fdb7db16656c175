#include "intake/path_probes.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SizeProbe, NamesWhatThePathHolds)
{
    TempFolder folder;
    WriteBytes(folder.Join(L"empty.htm"), "");
    WriteBytes(folder.Join(L"five.htm"), "12345");
    MakeFolders(folder.Join(L"sub"));

    EXPECT_EQ(SizeProbe(L""), kSizeProbeNothing);
    EXPECT_EQ(SizeProbe(folder.Join(L"empty.htm")), 0);
    EXPECT_EQ(SizeProbe(folder.Join(L"five.htm")), 5);
    EXPECT_EQ(SizeProbe(folder.Join(L"missing.htm")), kSizeProbeNothing);
    EXPECT_EQ(SizeProbe(folder.Join(L"sub")), kSizeProbeFolder);
    EXPECT_EQ(SizeProbe(folder.Join(L"sub\\\\\\")), kSizeProbeFolder);
    EXPECT_EQ(SizeProbe(L"C:"), kSizeProbeFolder);
    EXPECT_EQ(SizeProbe(L"C:\\"), kSizeProbeFolder);
}

TEST(SizeProbe, MissingDriveIsNothing)
{
    wchar_t letter = 0;
    DWORD drives = GetLogicalDrives();
    for (wchar_t c = L'Q'; c <= L'Y' && !letter; ++c)
        if (!(drives & (1u << (c - L'A'))))
            letter = c;
    ASSERT_NE(letter, 0);
    EXPECT_EQ(SizeProbe(std::wstring{letter, L':'}), kSizeProbeNothing);
    EXPECT_EQ(SizeProbe(std::wstring{letter, L':', L'\\'}), kSizeProbeNothing);
}

// A path far beyond MAX_PATH is probed whole: the file's size, the folder,
// and nothing for a name that its folder does not hold.
TEST(SizeProbe, LongPathIsProbedWhole)
{
    TempFolder folder;
    std::wstring deep = folder.Path();
    while (deep.size() < 560)
        deep += L"\\" + std::wstring(50, L'x');
    MakeFolders(deep);
    const std::wstring file = deep + L"\\page.htm";
    WriteBytes(file, "12345");
    ASSERT_GT(file.size(), 2u * MAX_PATH);

    EXPECT_EQ(SizeProbe(file), 5);
    EXPECT_EQ(SizeProbe(deep), kSizeProbeFolder);
    EXPECT_EQ(SizeProbe(deep + L"\\"), kSizeProbeFolder);
    EXPECT_EQ(SizeProbe(deep + L"\\whatever-follows.htm"), kSizeProbeNothing);
    // Cut to its first 260 characters, the path names a folder that exists:
    // the probe must not answer for that one.
    std::wstring cutHere = folder.Path() + L"\\";
    cutHere.append(MAX_PATH - cutHere.size(), L'y');
    ASSERT_EQ(cutHere.size(), static_cast<size_t>(MAX_PATH));
    MakeFolders(cutHere);
    ASSERT_EQ(SizeProbe(cutHere), kSizeProbeFolder);
    EXPECT_EQ(SizeProbe(cutHere + L"\\file.htm"), kSizeProbeNothing);
}

struct ExtensionCase {
    const char* name;
    const wchar_t* path;
    const wchar_t* extension;
    bool html;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ExtensionCase& c, std::ostream* os)
{
    *os << c.name;
}

class ExtensionPartTest : public testing::TestWithParam<ExtensionCase> {};

TEST_P(ExtensionPartTest, FindsTheTextAfterTheLastDot)
{
    const ExtensionCase& c = GetParam();
    EXPECT_EQ(std::wstring(ExtensionPart(c.path)), c.extension);
    EXPECT_EQ(HasHtmlExtension(c.path), c.html);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExtensionPartTest,
                         testing::Values(ExtensionCase{"UpperHtml", L"C:\\web\\PAGE.HTML", L"HTML", true},
                                         ExtensionCase{"MixedHtml", L"C:\\web\\index.Html", L"Html", true},
                                         ExtensionCase{"UpperHtm", L"C:\\web\\PAGE.HTM", L"HTM", true},
                                         ExtensionCase{"DoubleExtension", L"archive.htm.bak", L"bak", false},
                                         ExtensionCase{"DotNameWhole", L".htm", L"", false},
                                         ExtensionCase{"DotNameAfterBackslash", L"C:\\web\\.htm", L"", false},
                                         ExtensionCase{"DotNameAfterSlash", L"C:/web/.htm", L"", false},
                                         ExtensionCase{"DotInFolderOnly", L"C:\\web.d\\noext", L"", false},
                                         ExtensionCase{"DotBeforeSpace", L"C:\\my.web\\page name", L"", false},
                                         ExtensionCase{"TrailingDot", L"C:\\web\\page.", L"", false},
                                         ExtensionCase{"Shtml", L"C:\\web\\page.shtml", L"shtml", false},
                                         ExtensionCase{"QuoteEndsExtension", L"page.htm\"tail", L"htm", true},
                                         ExtensionCase{"EmptyPath", L"", L"", false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
