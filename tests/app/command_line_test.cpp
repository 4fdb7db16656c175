// Paths handed over on the command line, as Explorer does for files dropped
// on the program's icon, "Send to" and "Open with".
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"
#include "support/file_drag_source.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <algorithm>

namespace {

TEST(CommandLine, PathsAreAddedExactlyAsADropOfTheSamePathsOnTheList)
{
    TempFolder folder;
    MakeFolders(folder.Join(L"with spaces"));
    MakeFolders(folder.Join(L"site\\sub"));
    MakeFolders(folder.Join(L"second site"));
    const std::wstring spaced = folder.Join(L"with spaces\\my page.htm");
    const std::wstring notes = folder.Join(L"notes.txt");
    const std::wstring site = folder.Join(L"site");
    const std::wstring missing = folder.Join(L"missing.htm");
    // A folder named with its closing backslash, which the command line must
    // not take for an escaped quote.
    const std::wstring secondSite = folder.Join(L"second site\\");
    WriteBytes(spaced, "a");
    WriteBytes(notes, "b");
    WriteBytes(folder.Join(L"site\\a.htm"), "c");
    WriteBytes(folder.Join(L"site\\sub\\b.html"), "d");
    WriteBytes(folder.Join(L"site\\c.txt"), "e");
    WriteBytes(folder.Join(L"second site\\d.htm"), "f");
    const std::vector<std::wstring> paths = {spaced, site, notes, missing, secondSite};
    const int expectedCount = 7;

    std::vector<std::wstring> fromCommandLine;
    {
        // An empty argument names nothing a drop could carry; it is passed over.
        std::vector<std::wstring> arguments = paths;
        arguments.insert(arguments.begin() + 2, L"");
        TolvaneProcess tolvane(nullptr, true, CommandLineArguments(arguments));
        HWND list = tolvane.Control(kListBoxControl);
        ASSERT_TRUE(WaitUntil([&] { return FileListCount(list) == expectedCount; })) << FileListCount(list);
        fromCommandLine = ListedPaths(list);
        // The filter option is clear at start: the .txt files are listed.
        EXPECT_FALSE(IsOptionTicked(tolvane.Control(kFilterCheckBoxControl)));
        EXPECT_EQ(SelectedEntries(list), std::vector<int>{});
    }
    // Folders walked (a given trailing backslash kept, as a drop keeps it),
    // files and paths that name nothing listed, the last path at the top.
    EXPECT_EQ(fromCommandLine.front(), secondSite + L"\\d.htm");
    EXPECT_EQ(fromCommandLine.back(), spaced);
    EXPECT_NE(std::find(fromCommandLine.begin(), fromCommandLine.end(), missing), fromCommandLine.end());
    EXPECT_NE(std::find(fromCommandLine.begin(), fromCommandLine.end(), folder.Join(L"site\\sub\\b.html")),
              fromCommandLine.end());

    OleInitialize(nullptr);
    {
        TolvaneProcess tolvane;
        HWND list = tolvane.Control(kListBoxControl);
        DWORD effect = DROPEFFECT_NONE;
        EXPECT_EQ(DragFilesTo(CentreOf(list), paths, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
        EXPECT_TRUE(WaitUntil([&] { return FileListCount(list) == expectedCount; })) << FileListCount(list);
        EXPECT_EQ(fromCommandLine, ListedPaths(list));
    }
    OleUninitialize();
}

} // namespace
