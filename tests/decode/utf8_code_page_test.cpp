// The Decode run on a system whose ANSI code page is UTF-8 (65001): there is
// nothing to convert into, so no file is touched. Runs under a locale whose
// language has no ANSI code page (hi_IN), which gives Wine that code page.
#include "decode/decode_file_list.h"

#include "base/unique_handle.h"
#include "box_reader.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::ElementsAre;

FILETIME LastWriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return data.ftLastWriteTime;
}

TEST(DecodeOnUtf8CodePage, ChangesNoFileAndSaysWhy)
{
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8))
        << "needs the ANSI code page 65001: run under a generated hi_IN locale (scripts/setup generates it)";
    ASSERT_GT(GetSystemMetrics(SM_CXSCREEN), 0) << "needs a display for the message boxes";

    TempFolder folder;
    const std::string accented = "\xEF\xBB\xBF<meta charset=\"utf-8\"><p>caf\xC3\xA9 \xE2\x86\x92</p>";
    std::vector<std::wstring> paths = {folder.Join(L"a.html"), folder.Join(L"b.htm")};
    const FILETIME old = {0x2A8A0000, 0x01C0E6B0};
    for (const std::wstring& path : paths) {
        WriteBytes(path, accented);
        UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file && SetFileTime(file.Get(), &old, &old, &old));
    }
    RunWindow window;
    window.ListPaths(paths);
    window.TickCharset(true);
    window.TickReferences(true);

    std::vector<std::wstring> boxes;
    {
        BoxReader reader;
        DecodeFileList(window.List(), window.CharsetCheckBox(), window.ReferencesCheckBox());
        boxes = Describe(reader.Boxes());
    }
    EXPECT_THAT(boxes, ElementsAre(L"Error!|The system code page is UTF-8 (65001), so there is no ANSI code page to "
                                   L"convert into. No file was changed.",
                                   L"Info|Done!"));
    for (const std::wstring& path : paths) {
        EXPECT_EQ(ReadBytes(path), accented);
        FILETIME written = LastWriteTime(path);
        EXPECT_EQ(CompareFileTime(&written, &old), 0) << "the file was opened for writing";
    }
}

} // namespace
