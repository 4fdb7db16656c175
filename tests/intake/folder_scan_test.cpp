#include "intake/folder_scan.h"

#include "base/unique_handle.h"

#include "intake/list_window.h"
#include "intake/unix_links.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::wstring> Scan(const std::wstring& folder, HWND filter)
{
    std::vector<std::wstring> found;
    FolderScan(folder, filter, found);
    return found;
}

// The names of a folder's entries in the order the file system yields them.
std::vector<std::wstring> EnumerationOrder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &entry));
    if (find) {
        do {
            std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(name);
        } while (FindNextFileW(find.Get(), &entry));
    }
    return names;
}

// The files under `folder` in the order a depth-first walk meets them: each
// sub-folder expanded where its entry stands in its folder's enumeration.
// Built from the file system alone, independently of the scan.
std::vector<std::wstring> DepthFirstOrder(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    for (const std::wstring& name : EnumerationOrder(folder)) {
        std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            std::vector<std::wstring> below = DepthFirstOrder(path);
            files.insert(files.end(), below.begin(), below.end());
        } else {
            files.push_back(path);
        }
    }
    return files;
}

class FolderScanTest : public testing::Test {
protected:
    ListWindow window;
    TempFolder temp;
};

// Three sub-folders among three files: whatever order the file system gives,
// at least one sub-folder stands between two other entries, so a walk that
// took sub-folders before or after the files of their folder would differ.
TEST_F(FolderScanTest, SubFolderIsWalkedWhereItsEntryIsMet)
{
    for (const wchar_t* name : {L"a.htm", L"b.htm", L"c.htm"})
        WriteBytes(temp.Join(name), "x");
    for (const wchar_t* sub : {L"a_sub", L"b_sub", L"c_sub"}) {
        MakeFolders(temp.Join(sub));
        WriteBytes(temp.Join(std::wstring(sub) + L"\\inner.htm"), "x");
    }
    std::vector<std::wstring> order = EnumerationOrder(temp.Path());
    ASSERT_EQ(order.size(), 6u);
    auto isFolder = [](const std::wstring& name) { return name.ends_with(L"_sub"); };
    ASSERT_TRUE(std::any_of(order.begin() + 1, order.end() - 1, isFolder));

    EXPECT_EQ(Scan(temp.Path(), window.Filter()), DepthFirstOrder(temp.Path()));
}

// Two sibling branches, each with a file and a deeper folder: depth first,
// a branch's files stand together; breadth first they would not, in any
// enumeration order.
TEST_F(FolderScanTest, DeepTreeIsWalkedDepthFirst)
{
    std::wstring deep = temp.Join(L"1\\2\\3\\4\\5\\6\\7\\8");
    MakeFolders(deep);
    WriteBytes(deep + L"\\deep.txt", "");
    WriteBytes(temp.Join(L"1\\2\\mid.txt"), "");
    for (const wchar_t* branch : {L"p", L"q"}) {
        std::wstring folder = temp.Join(branch);
        MakeFolders(folder + L"\\inner");
        WriteBytes(folder + L"\\near.txt", "");
        WriteBytes(folder + L"\\inner\\far.txt", "");
    }
    std::vector<std::wstring> expected = DepthFirstOrder(temp.Path());
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(Scan(temp.Path(), window.Filter()), expected);
}

TEST_F(FolderScanTest, EmptyFoldersAndFolderOnlyTreesGiveNothing)
{
    EXPECT_TRUE(Scan(temp.Path(), window.Filter()).empty());
    MakeFolders(temp.Join(L"x\\y\\z"));
    MakeFolders(temp.Join(L"w"));
    EXPECT_TRUE(Scan(temp.Path(), window.Filter()).empty());
}

TEST_F(FolderScanTest, MissingFolderGivesNothing)
{
    EXPECT_TRUE(Scan(temp.Join(L"gone"), window.Filter()).empty());
}

TEST_F(FolderScanTest, HiddenAndSystemEntriesAreTaken)
{
    MakeFolders(temp.Join(L"secret"));
    WriteBytes(temp.Join(L"secret\\inner.bin"), "");
    WriteBytes(temp.Join(L"hidden.txt"), "");
    WriteBytes(temp.Join(L"system.dll"), "");
    ASSERT_TRUE(SetFileAttributesW(temp.Join(L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(temp.Join(L"system.dll").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(temp.Join(L"secret").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));

    std::vector<std::wstring> found = Scan(temp.Path(), window.Filter());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{temp.Join(L"hidden.txt"), temp.Join(L"secret\\inner.bin"),
                                                temp.Join(L"system.dll")}));
}

TEST_F(FolderScanTest, FileScannedTwiceIsFoundTwice)
{
    WriteBytes(temp.Join(L"one.htm"), "");
    std::vector<std::wstring> found;
    FolderScan(temp.Path(), window.Filter(), found);
    FolderScan(temp.Path(), window.Filter(), found);
    EXPECT_EQ(found, (std::vector<std::wstring>{temp.Join(L"one.htm"), temp.Join(L"one.htm")}));
}

struct FilterCase {
    const wchar_t* name;
    bool takenWhenTicked;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FilterCase& c, std::ostream* os)
{
    for (const wchar_t* p = c.name; *p; ++p)
        *os << static_cast<char>(*p < 128 ? *p : '?');
}

class FolderScanFilterTest : public FolderScanTest, public testing::WithParamInterface<FilterCase> {};

TEST_P(FolderScanFilterTest, TickedFilterKeepsOnlyHtmAndHtml)
{
    std::wstring path = temp.Join(GetParam().name);
    WriteBytes(path, "x");
    std::vector<std::wstring> all{path};
    std::vector<std::wstring> none;

    window.SetFilter(true);
    EXPECT_EQ(Scan(temp.Path(), window.Filter()), GetParam().takenWhenTicked ? all : none);
    window.SetFilter(false);
    EXPECT_EQ(Scan(temp.Path(), window.Filter()), all);
}

INSTANTIATE_TEST_SUITE_P(Names, FolderScanFilterTest,
                         testing::Values(FilterCase{L"PAGE.HTM", true}, FilterCase{L"index.Html", true},
                                         FilterCase{L"plain.htm", true}, FilterCase{L"page.shtml", false},
                                         FilterCase{L"page.htm.bak", false}, FilterCase{L".htm", false},
                                         FilterCase{L"noextension", false}, FilterCase{L"page.htmx", false},
                                         FilterCase{L"page.txt", false}),
                         [](const testing::TestParamInfo<FilterCase>& info) {
                             std::string name;
                             for (const wchar_t* c = info.param.name; *c; ++c)
                                 name += iswalnum(*c) ? static_cast<char>(*c) : '_';
                             return name + (info.param.takenWhenTicked ? "_taken" : "_left");
                         });

TEST_F(FolderScanTest, DriveRootGivesDoubledBackslash)
{
    WriteBytes(temp.Join(L"top.htm"), "");
    MakeFolders(temp.Join(L"sub"));
    WriteBytes(temp.Join(L"sub\\inner.htm"), "");
    DriveMapping drive(temp.Path());
    ASSERT_TRUE(drive.IsValid()) << "no drive letter could be mapped";

    std::vector<std::wstring> found = Scan(drive.Root(), window.Filter());
    std::sort(found.begin(), found.end());
    std::wstring root = drive.Root();
    EXPECT_EQ(found, (std::vector<std::wstring>{root + L"\\sub\\inner.htm", root + L"\\top.htm"}));
}

TEST_F(FolderScanTest, LinkBackToAncestorIsNotWalkedAgain)
{
    WriteBytes(temp.Join(L"a.htm"), "");
    MakeFolders(temp.Join(L"sub"));
    WriteBytes(temp.Join(L"sub\\b.htm"), "");
    FolderLink loop(temp.Join(L"sub\\loop"), temp.Path());
    FolderLink loop2(temp.Join(L"sub\\loop2"), temp.Join(L"sub"));
    ASSERT_TRUE(loop.IsValid() && loop2.IsValid());

    std::vector<std::wstring> found = Scan(temp.Path(), window.Filter());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{temp.Join(L"a.htm"), temp.Join(L"sub\\b.htm")}));
}

TEST_F(FolderScanTest, TwoLinksToOneFolderWalkItOnce)
{
    TempFolder elsewhere;
    WriteBytes(elsewhere.Join(L"shared.htm"), "");
    FolderLink first(temp.Join(L"first"), elsewhere.Path());
    FolderLink second(temp.Join(L"second"), elsewhere.Path());
    ASSERT_TRUE(first.IsValid() && second.IsValid());

    std::vector<std::wstring> found = Scan(temp.Path(), window.Filter());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0] == temp.Join(L"first\\shared.htm") || found[0] == temp.Join(L"second\\shared.htm"))
        << "found " << testing::PrintToString(found[0]);
}

// Whichever comes first in the enumeration, the folder itself or a link to
// it, its files are taken once.
TEST_F(FolderScanTest, LinksToAFolderOfTheSameTreeWalkItOnce)
{
    MakeFolders(temp.Join(L"m_real\\below"));
    WriteBytes(temp.Join(L"m_real\\below\\f.htm"), "");
    FolderLink before(temp.Join(L"a_link"), temp.Join(L"m_real"));
    FolderLink after(temp.Join(L"z_link"), temp.Join(L"m_real\\below"));
    ASSERT_TRUE(before.IsValid() && after.IsValid());

    EXPECT_EQ(Scan(temp.Path(), window.Filter()).size(), 1u);
}

TEST_F(FolderScanTest, LinkLeadingElsewhereIsWalked)
{
    TempFolder elsewhere;
    MakeFolders(elsewhere.Join(L"deeper"));
    WriteBytes(elsewhere.Join(L"deeper\\far.htm"), "");
    WriteBytes(temp.Join(L"near.htm"), "");
    FolderLink link(temp.Join(L"link"), elsewhere.Path());
    ASSERT_TRUE(link.IsValid());

    std::vector<std::wstring> found = Scan(temp.Path(), window.Filter());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{temp.Join(L"link\\deeper\\far.htm"), temp.Join(L"near.htm")}));
}

} // namespace
