#include "intake/drop_event_data.h"
#include "intake/drop_intake.h"

#include "intake/list_window.h"
#include "intake/unix_links.h"
#include "support/file_drag_source.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

namespace {

using Paths = std::vector<std::wstring>;

// Event data as a drop target makes it, released like the queue does.
class EventData {
public:
    EventData(UINT format, const std::string& block) : data_(CreateDropEventData(format, block.data(), block.size())) {}
    explicit EventData(const std::string& block) : EventData(CF_HDROP, block) {}
    EventData(const EventData&) = delete;
    EventData& operator=(const EventData&) = delete;
    ~EventData() { ReleaseDropEventData(data_); }
    const void* Get() const { return data_; }

private:
    void* data_;
};

class HandleListDropTest : public testing::Test {
protected:
    void Drop(const std::string& block) const
    {
        EventData data(block);
        HandleListDrop(data.Get(), window.List(), window.Filter());
    }
    void Drop(const Paths& paths) const { Drop(MakeDropFilesBlock(paths)); }

    ListWindow window;
    TempFolder temp;
};

TEST_F(HandleListDropTest, DroppedFilesGoAboveEarlierEntriesInReverseOrder)
{
    window.Add({L"old 1", L"old 2"});
    Drop(Paths{temp.Join(L"a"), temp.Join(L"b"), temp.Join(L"c")});
    EXPECT_EQ(window.Entries(), (Paths{temp.Join(L"c"), temp.Join(L"b"), temp.Join(L"a"), L"old 1", L"old 2"}));
}

TEST_F(HandleListDropTest, AnsiBlockIsHandledLikeAWideOne)
{
    Drop(MakeDropFilesBlock({L"C:\\caf\u00e9.htm", L"C:\\two.htm"}, false));
    EXPECT_EQ(window.Entries(), (Paths{L"C:\\two.htm", L"C:\\caf\u00e9.htm"}));
}

TEST_F(HandleListDropTest, FilterAppliesToDroppedFilesAndToWhatFoldersHold)
{
    WriteBytes(temp.Join(L"notes.txt"), "");
    WriteBytes(temp.Join(L"PAGE.HTM"), "");
    MakeFolders(temp.Join(L"folder.txt"));
    WriteBytes(temp.Join(L"folder.txt\\inner.html"), "");
    WriteBytes(temp.Join(L"folder.txt\\inner.css"), "");
    window.SetFilter(true);
    Drop(Paths{temp.Join(L"notes.txt"), temp.Join(L"PAGE.HTM"), temp.Join(L"folder.txt")});
    EXPECT_EQ(window.Entries(), (Paths{temp.Join(L"folder.txt\\inner.html"), temp.Join(L"PAGE.HTM")}));
}

TEST_F(HandleListDropTest, FolderEntriesComeInWhereTheFolderIsMet)
{
    MakeFolders(temp.Join(L"dir"));
    WriteBytes(temp.Join(L"dir\\inside.htm"), "");
    Drop(Paths{L"C:\\first.htm", temp.Join(L"dir"), L"C:\\last.htm"});
    EXPECT_EQ(window.Entries(), (Paths{L"C:\\last.htm", temp.Join(L"dir\\inside.htm"), L"C:\\first.htm"}));
}

TEST_F(HandleListDropTest, MissingPathIsHandledAsAFile)
{
    Drop(Paths{temp.Join(L"gone.htm"), temp.Join(L"gone.txt")});
    EXPECT_EQ(window.Entries(), (Paths{temp.Join(L"gone.txt"), temp.Join(L"gone.htm")}));
    window.SetFilter(true);
    Drop(Paths{temp.Join(L"gone2.txt"), temp.Join(L"gone2.htm")});
    EXPECT_EQ(window.Entries().front(), temp.Join(L"gone2.htm"));
    EXPECT_EQ(window.Entries().size(), 3u);
}

TEST_F(HandleListDropTest, SameFileDroppedTwiceStandsTwice)
{
    Drop(Paths{L"C:\\same.htm"});
    Drop(Paths{L"C:\\same.htm"});
    EXPECT_EQ(window.Entries(), (Paths{L"C:\\same.htm", L"C:\\same.htm"}));
}

TEST_F(HandleListDropTest, DroppedDriveRootIsWalkedWithDoubledBackslash)
{
    WriteBytes(temp.Join(L"root.htm"), "");
    DriveMapping drive(temp.Path());
    ASSERT_TRUE(drive.IsValid());
    std::wstring root = drive.Root();
    Drop(Paths{root});
    EXPECT_EQ(window.Entries(), (Paths{root + L"\\root.htm"}));
    Drop(Paths{root.substr(0, 2)});
    EXPECT_EQ(window.Entries().front(), root + L"root.htm");
}

TEST_F(HandleListDropTest, EarlierSelectionStaysAndNewEntriesAreUnselected)
{
    window.Add({L"x", L"y", L"z"});
    window.Select({2});
    Drop(Paths{L"C:\\new1", L"C:\\new2"});
    EXPECT_EQ(window.Selected(), (std::vector<int>{4}));
}

struct EmptyDropCase {
    const char* name;
    UINT format;
    std::string block;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const EmptyDropCase& c, std::ostream* os)
{
    *os << c.name;
}

class EmptyDropTest : public HandleListDropTest, public testing::WithParamInterface<EmptyDropCase> {};

// Whatever the block, a drop that names no file adds no entry, not even an
// empty one, with the filter clear.
TEST_P(EmptyDropTest, AddsNothing)
{
    window.Add({L"kept"});
    EventData data(GetParam().format, GetParam().block);
    HandleListDrop(data.Get(), window.List(), window.Filter());
    EXPECT_EQ(window.Entries(), (Paths{L"kept"}));
}

std::string CutOff(std::string block, size_t bytes)
{
    block.resize(block.size() - bytes);
    return block;
}

std::string WithOffset(std::string block, DWORD offset)
{
    std::memcpy(block.data() + offsetof(DROPFILES, pFiles), &offset, sizeof offset);
    return block;
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, EmptyDropTest,
    testing::Values(EmptyDropCase{"NamesNoFile", CF_HDROP, MakeDropFilesBlock({})},
                    EmptyDropCase{"AnsiNamesNoFile", CF_HDROP, MakeDropFilesBlock({}, false)},
                    EmptyDropCase{"NotAFileList", CF_UNICODETEXT, MakeDropFilesBlock({L"C:\\a.htm"})},
                    EmptyDropCase{"NoBytes", CF_HDROP, ""},
                    EmptyDropCase{"TooSmallForHeader", CF_HDROP, std::string(12, '\0')},
                    EmptyDropCase{"OffsetOutside", CF_HDROP, WithOffset(MakeDropFilesBlock({L"C:\\a.htm"}), 5000)},
                    EmptyDropCase{"ListUnterminated", CF_HDROP, CutOff(MakeDropFilesBlock({L"C:\\a.htm"}), 4)}),
    [](const testing::TestParamInfo<EmptyDropCase>& info) { return std::string(info.param.name); });

TEST_F(HandleListDropTest, NoEventDataAddsNothing)
{
    HandleListDrop(nullptr, window.List(), window.Filter());
    EXPECT_TRUE(window.Entries().empty());
}

} // namespace
