// Files and folders dragged onto the program from another process through
// OLE, as from the shell, then converted with "Decode".
#include "tests/app/tolvane_driver.h"

#include "base/file_list.h"
#include "support/file_drag_source.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class OleThread {
public:
    OleThread() { OleInitialize(nullptr); }
    ~OleThread() { OleUninitialize(); }
};

// Where a drop lands: on the list, or on the window outside the list.
struct DropPlace {
    const char* name;
    bool onList;
};

void PrintTo(const DropPlace& place, std::ostream* out)
{
    *out << place.name;
}

class Drops : public testing::TestWithParam<DropPlace> {
protected:
    POINT DropPoint() const
    {
        if (GetParam().onList)
            return CentreOf(tolvane_.Control(kListBoxControl));
        POINT point{620, 110}; // client area, below the check boxes, above the list
        ClientToScreen(tolvane_.Window(), &point);
        return point;
    }

    void Drop(const std::vector<std::wstring>& paths)
    {
        DWORD effect = DROPEFFECT_NONE;
        ASSERT_EQ(DragFilesTo(DropPoint(), paths, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    }

    bool ListCountBecomes(int count) const
    {
        return WaitUntil([&] { return FileListCount(tolvane_.Control(kListBoxControl)) == count; });
    }

    OleThread ole_;
    TempFolder folder_;
    TolvaneProcess tolvane_;
};

TEST_P(Drops, AddFilesAndWalkFoldersThenDecodeConvertsThem)
{
    const std::wstring page = folder_.Join(L"page.htm");
    const std::wstring notes = folder_.Join(L"notes.txt");
    const std::wstring empty = folder_.Join(L"empty.htm");
    const std::wstring gone = folder_.Join(L"gone.htm");
    const std::wstring sub = folder_.Join(L"sub");
    const std::wstring inner = folder_.Join(L"sub\\inner.html");
    WriteBytes(page, "<p>caf\xC3\xA9</p>\r\n");
    WriteBytes(notes, "na\xC3\xAFve\n");
    WriteBytes(empty, "");
    WriteBytes(gone, "x");
    MakeFolders(sub);
    WriteBytes(inner, "<meta charset=utf-8>\xC2\xA9");

    Drop({page, notes, sub});
    ASSERT_TRUE(ListCountBecomes(3));
    Drop({empty, gone});
    ASSERT_TRUE(ListCountBecomes(5));

    // Every path goes in at the top: the last dropped stands first.
    HWND list = tolvane_.Control(kListBoxControl);
    EXPECT_EQ(ListedPaths(list), (std::vector<std::wstring>{gone, empty, inner, notes, page}));

    DeleteFileW(gone.c_str());
    ASSERT_TRUE(tolvane_.Activate()) << "foreground " << tolvane_.Describe(GetForegroundWindow());
    Click(CentreOf(tolvane_.Control(kCharsetCheckBoxControl)));
    ASSERT_TRUE(WaitUntil([&] { return IsOptionTicked(tolvane_.Control(kCharsetCheckBoxControl)); }));
    Click(CentreOf(tolvane_.Control(kDecodeButtonControl)));

    std::vector<ShownBox> boxes = ReadBoxesUntilDone(tolvane_.ThreadId());
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].title, L"Error!");
    EXPECT_EQ(boxes[0].text, L"Error opening: " + gone);
    EXPECT_EQ(boxes[1].title, L"Error!");
    EXPECT_EQ(boxes[1].text, L"Error opening: " + empty);
    EXPECT_EQ(boxes[2].title, L"Info");
    EXPECT_EQ(boxes[2].text, L"Done!");

    // Code page 1252; the charset option cut the declaration out, from
    // "charset" to "utf-8" inclusive.
    EXPECT_EQ(ReadBytes(page), "<p>caf\xE9</p>\r\n");
    EXPECT_EQ(ReadBytes(notes), "na\xEFve\n");
    EXPECT_EQ(ReadBytes(inner), "<meta >\xA9");
    EXPECT_EQ(ReadBytes(empty), "");
    // The run changes nothing in the list.
    EXPECT_EQ(FileListCount(list), 5);
}

TEST_P(Drops, FilterKeepsOnlyHtmlFiles)
{
    const std::wstring page = folder_.Join(L"PAGE.HTM");
    const std::wstring notes = folder_.Join(L"notes.txt");
    WriteBytes(page, "a");
    WriteBytes(notes, "b");
    Click(CentreOf(tolvane_.Control(kFilterCheckBoxControl)));
    ASSERT_TRUE(WaitUntil([&] { return IsOptionTicked(tolvane_.Control(kFilterCheckBoxControl)); }));

    Drop({notes, page});
    ASSERT_TRUE(ListCountBecomes(1));
    EXPECT_EQ(ListedPaths(tolvane_.Control(kListBoxControl)), (std::vector<std::wstring>{page}));
}

// A tree whose deepest files have paths of about 600 characters, more than
// twice what a file-system call takes without the long form.
TEST(LongPaths, DeepTreeIsWalkedListedConvertedAndReportedWithItsFullPath)
{
    OleThread ole;
    TempFolder folder;
    auto deepFolder = [&](wchar_t letter) {
        std::wstring deep = folder.Join(std::wstring(60, letter));
        for (int level = 0; deep.size() < 560; ++level)
            deep += L"\\level " + std::to_wstring(level) + L" " + std::wstring(40, L'd');
        MakeFolders(deep);
        return deep;
    };
    // One tree is dropped as a whole, from its top; the other's file alone.
    const std::wstring top = folder.Join(std::wstring(60, L't'));
    const std::wstring deep = deepFolder(L't');
    const std::wstring walked = deep + L"\\walked page.htm";
    const std::wstring gone = deep + L"\\gone.htm";
    const std::wstring dropped = deepFolder(L'f') + L"\\dropped.htm";
    ASSERT_GT(walked.size(), 580u);
    WriteBytes(walked, "<p>caf\xC3\xA9</p>");
    WriteBytes(gone, "<p>x</p>");
    WriteBytes(dropped, "na\xC3\xAFve");

    TolvaneProcess tolvane;
    HWND list = tolvane.Control(kListBoxControl);
    DWORD effect = DROPEFFECT_NONE;
    ASSERT_EQ(DragFilesTo(CentreOf(list), {top, dropped}, DROPEFFECT_COPY, &effect), DRAGDROP_S_DROP);
    ASSERT_TRUE(WaitUntil([&] { return FileListCount(list) == 3; }));
    // Listed exactly as found and dropped: no \\?\ form shows.
    std::vector<std::wstring> listed = ListedPaths(list);
    EXPECT_EQ(listed[0], dropped);
    std::vector<std::wstring> found(listed.begin() + 1, listed.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::wstring>{gone, walked}));

    RemoveTree(gone);
    tolvane.Activate();
    Click(CentreOf(tolvane.Control(kDecodeButtonControl)));
    std::vector<ShownBox> boxes = ReadBoxesUntilDone(tolvane.ThreadId());
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, L"Error!");
    EXPECT_EQ(boxes[0].text, L"Error opening: " + gone);
    EXPECT_EQ(boxes[1].text, L"Done!");
    EXPECT_EQ(ReadBytes(walked), "<p>caf\xE9</p>");
    EXPECT_EQ(ReadBytes(dropped), "na\xEFve");
}

INSTANTIATE_TEST_SUITE_P(App, Drops, testing::Values(DropPlace{"OnTheList", true}, DropPlace{"OnTheWindow", false}),
                         [](const testing::TestParamInfo<DropPlace>& info) { return info.param.name; });

} // namespace
