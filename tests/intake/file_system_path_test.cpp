#include "base/file_system_path.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const std::wstring kLongName(300, L'n');

TEST(FileSystemPath, ShortFullPathsStayAsTheyAre)
{
    EXPECT_EQ(FileSystemPath(L"C:\\folder\\page.htm"), L"C:\\folder\\page.htm");
    EXPECT_EQ(FileSystemPath(L"\\\\server\\share\\page.htm"), L"\\\\server\\share\\page.htm");
    EXPECT_EQ(FileSystemPath(L"C:\\"), L"C:\\");
    // 259 characters: the last length the plain form takes.
    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 4, L'a');
    EXPECT_EQ(FileSystemPath(longest), longest);
}

TEST(FileSystemPath, LongPathsTakeTheExtendedForm)
{
    const std::wstring drive = L"C:\\" + kLongName + L"\\page.htm";
    EXPECT_EQ(FileSystemPath(drive), L"\\\\?\\" + drive);
    const std::wstring first = L"C:\\" + std::wstring(MAX_PATH - 3, L'a');
    EXPECT_EQ(FileSystemPath(first), L"\\\\?\\" + first);
    const std::wstring share = L"\\\\server\\share\\" + kLongName;
    EXPECT_EQ(FileSystemPath(share), L"\\\\?\\UNC\\server\\share\\" + kLongName);
}

TEST(FileSystemPath, LongPathsAreResolvedBeforeTheyTakeTheExtendedForm)
{
    // The extended form takes every character literally.
    EXPECT_EQ(FileSystemPath(L"C:/" + kLongName + L"/./x/../page.htm"), L"\\\\?\\C:\\" + kLongName + L"\\page.htm");
}

TEST(FileSystemPath, ExtendedAndDevicePathsStayAsTheyAre)
{
    const std::wstring extended = L"\\\\?\\C:\\" + kLongName;
    EXPECT_EQ(FileSystemPath(extended), extended);
    EXPECT_EQ(FileSystemPath(L"\\\\.\\C:"), L"\\\\.\\C:");
}

TEST(FileSystemPath, RelativePathLongOnlyInFullIsMadeFull)
{
    TempFolder folder;
    std::wstring deep = folder.Path();
    while (deep.size() < 300)
        deep += L"\\" + std::wstring(50, L'r');
    MakeFolders(deep);
    wchar_t saved[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW((L"\\\\?\\" + deep).c_str()) || SetCurrentDirectoryW(deep.c_str()));
    wchar_t current[1024] = L"";
    GetCurrentDirectoryW(1024, current);
    const std::wstring expected = L"\\\\?\\" + std::wstring(current) + L"\\page.htm";
    std::wstring resolved = FileSystemPath(L"page.htm");
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(resolved, expected);
}

} // namespace
