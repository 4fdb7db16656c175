#include "decode/decode_file_list.h"

#include "base/file_list.h"
#include "box_reader.h"
#include "decode/utf8_to_ansi.h"
#include "file_faults.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing::ElementsAre;

const std::wstring kDone = L"Info|Done!";

std::wstring OpenError(const std::wstring& path)
{
    return L"Error!|Error opening: " + path;
}

std::wstring WriteError(const std::wstring& path)
{
    return L"Error!|Error writing file: " + path;
}

std::wstring NotUtf8(const std::vector<std::wstring>& paths, size_t more = 0)
{
    std::wstring text = L"Error!|Not UTF-8, left unchanged:";
    for (const std::wstring& path : paths)
        text += L"\n" + path;
    if (more)
        text += L"\n... and " + std::to_wstring(more) + L" more";
    return text;
}

// Polls `done` every 20 ms for up to 20 s.
template <typename Done> bool WaitUntilTrue(Done done)
{
    for (int turn = 0; turn < 1000; ++turn) {
        if (done())
            return true;
        Sleep(20);
    }
    return false;
}

// The report of replaced characters, with one line per file.
std::wstring Replaced(const std::vector<std::wstring>& lines, size_t more = 0)
{
    std::wstring text =
        L"Warning!|Characters that code page " + std::to_wstring(GetACP()) + L" does not have were replaced in:";
    for (const std::wstring& line : lines)
        text += L"\n" + line;
    if (more)
        text += L"\n... and " + std::to_wstring(more) + L" more";
    return text;
}

// Characters that neither 1252 nor 932 holds: U+2713, U+0142, U+0101,
// U+2212, U+301C, U+05D0 (the first four have best-fit letters in 1252).
const std::string kCheck = "\xE2\x9C\x93", kLSlash = "\xC5\x82", kAMacron = "\xC4\x81", kMinus = "\xE2\x88\x92",
                  kWaveDash = "\xE3\x80\x9C", kAlef = "\xD7\x90";
// U+00B1, which both code pages hold.
const std::string kPlusMinus = "\xC2\xB1";

std::string PlatformBytes(const std::string& text)
{
    AnsiConversion converted =
        ConvertUtf8ToAnsiThroughPlatform(text.data(), static_cast<int>(text.size()), GetProcessHeap());
    EXPECT_EQ(converted.status, AnsiConversionStatus::Converted);
    return std::string(converted.text.As<char>(), static_cast<size_t>(converted.length));
}

// Runs the Decode command on the window's list and gives the boxes it showed.
std::vector<std::wstring> Decode(RunWindow& window)
{
    BoxReader reader;
    DecodeFileList(window.List(), window.CharsetCheckBox(), window.ReferencesCheckBox());
    return Describe(reader.Boxes());
}

class DecodeFileListTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window_.List()) << "no list box: these tests need a display"; }

    std::wstring File(const wchar_t* name, const std::string& bytes)
    {
        std::wstring path = folder_.Join(name);
        WriteBytes(path, bytes);
        return path;
    }

    TempFolder folder_;
    RunWindow window_;
};

TEST_F(DecodeFileListTest, EmptyListShowsOnlyDone)
{
    EXPECT_THAT(Decode(window_), ElementsAre(kDone));
}

// Top first: newest drops stand at the top and are converted first; every
// file that cannot be read is named in its own box, in list order.
TEST_F(DecodeFileListTest, EachUnreadableEntryHasItsBoxInListOrder)
{
    std::wstring first = File(L"first.htm", "<p>" + kPlusMinus + "</p>");
    std::wstring missing = folder_.Join(L"missing.htm");
    std::wstring subfolder = folder_.Join(L"sub");
    MakeFolders(subfolder);
    std::wstring empty = File(L"empty.htm", "");
    std::wstring huge = folder_.Join(L"huge.htm");
    WriteSparse(huge, "caf\xC3\xA9", 0x80000000LL);
    std::wstring held = File(L"held.htm", "caf\xC3\xA9");
    std::wstring last = File(L"last.txt", "na" + kPlusMinus + "ve");
    window_.ListPaths({first, missing, subfolder, empty, huge, held, last});

    std::vector<std::wstring> boxes;
    {
        HeldOpenFile holder(held);
        ASSERT_TRUE(holder.IsHeld());
        boxes = Decode(window_);
    }
    EXPECT_THAT(boxes, ElementsAre(OpenError(missing), OpenError(subfolder), OpenError(empty), OpenError(huge),
                                   OpenError(held), kDone));
    EXPECT_EQ(ReadBytes(first), PlatformBytes("<p>" + kPlusMinus + "</p>"));
    EXPECT_EQ(ReadBytes(last), PlatformBytes("na" + kPlusMinus + "ve"));
    EXPECT_EQ(ReadBytes(held), "caf\xC3\xA9");
    EXPECT_EQ(FileSize(empty), 0);
    EXPECT_EQ(FileSize(huge), 0x80000000LL);
    EXPECT_EQ(ReadHead(huge, 5), "caf\xC3\xA9");
    EXPECT_EQ(FileListCount(window_.List()), 7) << "the run leaves the list as it was";
}

TEST_F(DecodeFileListTest, FilesNotInUtf8AreNamedTogetherBeforeDone)
{
    std::wstring latin = File(L"latin.htm", "caf\xE9");
    std::wstring good = File(L"good.htm", "caf" + kPlusMinus);
    std::wstring cut = File(L"cut.htm", "abc\xE2\x82");
    std::wstring missing = folder_.Join(L"missing.htm");
    window_.ListPaths({latin, good, missing, cut});

    EXPECT_THAT(Decode(window_), ElementsAre(OpenError(missing), NotUtf8({latin, cut}), kDone));
    EXPECT_EQ(ReadBytes(latin), "caf\xE9");
    EXPECT_EQ(ReadBytes(cut), "abc\xE2\x82");
    EXPECT_EQ(ReadBytes(good), PlatformBytes("caf" + kPlusMinus));
}

TEST_F(DecodeFileListTest, DecodingTwiceConvertsOnlyOnce)
{
    const std::string page = "<p>caf" + kPlusMinus + " x</p>";
    std::wstring accented = File(L"accented.htm", page);
    std::wstring ascii = File(L"ascii.htm", "<p>plain</p>");
    window_.ListPaths({accented, ascii});

    EXPECT_THAT(Decode(window_), ElementsAre(kDone));
    std::string once = ReadBytes(accented);
    EXPECT_NE(once, page);
    EXPECT_THAT(Decode(window_), ElementsAre(NotUtf8({accented}), kDone));
    EXPECT_EQ(ReadBytes(accented), once);
    EXPECT_EQ(ReadBytes(ascii), "<p>plain</p>");
}

TEST_F(DecodeFileListTest, AtMostThirtyFilesAreNamed)
{
    std::vector<std::wstring> paths;
    for (int k = 0; k < 33; ++k)
        paths.push_back(File((L"latin" + std::to_wstring(k) + L".htm").c_str(), "caf\xE9"));
    window_.ListPaths(paths);

    std::vector<std::wstring> shown(paths.begin(), paths.begin() + 30);
    EXPECT_THAT(Decode(window_), ElementsAre(NotUtf8(shown, 3), kDone));
}

TEST_F(DecodeFileListTest, ExactlyThirtyFilesAreAllNamedWithNoMoreLine)
{
    std::vector<std::wstring> paths;
    for (int k = 0; k < 30; ++k)
        paths.push_back(File((L"latin" + std::to_wstring(k) + L".htm").c_str(), "caf\xE9"));
    window_.ListPaths(paths);

    EXPECT_THAT(Decode(window_), ElementsAre(NotUtf8(paths), kDone));
}

TEST_F(DecodeFileListTest, CharsetOptionIsHandedOnToEveryFile)
{
    const std::string page = "<meta charset=\"utf-8\"><p>x</p>";
    std::wstring a = File(L"a.htm", page);
    std::wstring b = File(L"b.htm", page);
    window_.ListPaths({a, b});

    window_.TickCharset(false);
    EXPECT_THAT(Decode(window_), ElementsAre(kDone));
    EXPECT_EQ(ReadBytes(a), page);
    window_.TickCharset(true);
    EXPECT_THAT(Decode(window_), ElementsAre(kDone));
    EXPECT_EQ(ReadBytes(a), "<meta \"><p>x</p>");
    EXPECT_EQ(ReadBytes(b), "<meta \"><p>x</p>");
}

TEST_F(DecodeFileListTest, HiddenFileIsConverted)
{
    std::wstring hidden = File(L"hidden.htm", "<p>" + kPlusMinus + "</p>");
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    window_.ListPaths({hidden});
    EXPECT_THAT(Decode(window_), ElementsAre(kDone));
    EXPECT_EQ(ReadBytes(hidden), PlatformBytes("<p>" + kPlusMinus + "</p>"));
}

// Every run names the files in which characters were replaced, in list
// order, between the Not UTF-8 box and "Done!"; a file whose every such
// character became a reference is not named.
TEST_F(DecodeFileListTest, ReplacedCharactersAreReportedBeforeDone)
{
    const std::string text = "<p>" + kCheck + " " + kLSlash + " " + kCheck + " " + kPlusMinus + " " + kAMacron + "</p>";
    std::wstring top = File(L"top.html", text);
    std::wstring latin = File(L"latin.htm", "caf\xE9");
    std::wstring plain = File(L"plain.htm", "<p>" + kPlusMinus + "</p>");
    std::wstring six = File(L"six.txt", kCheck + kLSlash + kAMacron + kMinus + kWaveDash + kAlef + kCheck);
    window_.ListPaths({top, latin, plain, six});

    EXPECT_THAT(Decode(window_), ElementsAre(NotUtf8({latin}),
                                             Replaced({top + L" (4: U+2713 U+0142 U+0101)",
                                                       six + L" (7: U+2713 U+0142 U+0101 U+2212 U+301C ...)"}),
                                             kDone));
    EXPECT_EQ(ReadBytes(top), PlatformBytes(text));

    // With references, the same text in an HTML file loses nothing and is
    // not named; the files converted above are no longer UTF-8.
    std::wstring again = File(L"again.html", text);
    window_.ListPaths({again});
    window_.TickReferences(true);
    EXPECT_THAT(Decode(window_), ElementsAre(NotUtf8({top, latin, plain}), kDone));
    EXPECT_EQ(ReadBytes(again), "<p>&#10003; &#322; &#10003; " + PlatformBytes(kPlusMinus) + " &#257;</p>");
}

// With the option ticked, references go into .htm and .html files only:
// a style sheet and a help contents file keep the platform's bytes, and are
// named; in an HTML file the script keeps them too.
TEST_F(DecodeFileListTest, ReferencesOnlyInHtmlFiles)
{
    const std::string text = "<p>" + kCheck + "</p><script>s='" + kLSlash + "'</script>";
    std::wstring html = File(L"page.html", text);
    std::wstring htm = File(L"PAGE.HTM", "<p>" + kCheck + "</p>");
    std::wstring css = File(L"style.css", "p:before{content:'" + kCheck + "'}");
    std::wstring hhc = File(L"toc.hhc", "<param value=\"" + kCheck + "\">");
    window_.ListPaths({html, htm, css, hhc});
    window_.TickReferences(true);

    EXPECT_THAT(Decode(window_),
                ElementsAre(Replaced({html + L" (1: U+0142)", css + L" (1: U+2713)", hhc + L" (1: U+2713)"}), kDone));
    EXPECT_EQ(ReadBytes(html), "<p>&#10003;</p><script>s='" + PlatformBytes(kLSlash) + "'</script>");
    EXPECT_EQ(ReadBytes(htm), "<p>&#10003;</p>");
    EXPECT_EQ(ReadBytes(css), PlatformBytes("p:before{content:'" + kCheck + "'}"));
    EXPECT_EQ(ReadBytes(hhc), PlatformBytes("<param value=\"" + kCheck + "\">"));
}

TEST_F(DecodeFileListTest, AtMostThirtyFilesWithReplacementsAreNamed)
{
    std::vector<std::wstring> paths;
    std::vector<std::wstring> lines;
    for (int k = 0; k < 32; ++k) {
        paths.push_back(File((L"page" + std::to_wstring(k) + L".htm").c_str(), "<p>" + kAlef + "</p>"));
        if (k < 30)
            lines.push_back(paths.back() + L" (1: U+05D0)");
    }
    window_.ListPaths(paths);
    EXPECT_THAT(Decode(window_), ElementsAre(Replaced(lines, 2), kDone));
}

// Runs only inside a fault that run_with_fault.sh makes; it fails when the
// fault is not there.
class DecodeRunUnderFault : public DecodeFileListTest {};

// Needs an unprivileged user: as root Wine opens a read-only file for writing.
TEST_F(DecodeRunUnderFault, ReadOnlyMiddleFileIsReportedAndTheRunGoesOn)
{
    std::wstring top = File(L"top.htm", "caf\xC3\xA9");
    std::wstring middle = File(L"middle.htm", "caf\xC3\xA9");
    std::wstring bottom = File(L"bottom.htm", "caf\xC3\xA9");
    ASSERT_TRUE(SetFileAttributesW(middle.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_FALSE(CanOpenForWriting(middle))
        << "a read-only file opens for writing here (root): run as an unprivileged user";
    window_.ListPaths({top, middle, bottom});

    EXPECT_THAT(Decode(window_), ElementsAre(WriteError(middle), kDone));
    EXPECT_EQ(ReadBytes(top).size(), 4u);
    EXPECT_EQ(ReadBytes(middle), "caf\xC3\xA9");
    EXPECT_EQ(ReadBytes(bottom).size(), 4u);
}

// Needs a small full drive, named in TOLVANE_TEST_FULL_DRIVE (for example
// "R:"). The file is sparse: its converted text needs room the drive does
// not have, so the write fails after the open has emptied the file.
TEST_F(DecodeRunUnderFault, WriteOnFullDiskPutsTheOriginalBack)
{
    std::wstring drive = Environment(L"TOLVANE_TEST_FULL_DRIVE");
    ASSERT_FALSE(drive.empty()) << "needs TOLVANE_TEST_FULL_DRIVE, a small full drive";
    std::wstring path = drive + L"\\full.htm";
    const std::string head = "<p>caf\xC3\xA9</p>";
    constexpr LONGLONG kSize = 1 << 20;
    WriteSparse(path, head, kSize);
    std::wstring after = drive + L"\\after.htm";
    window_.ListPaths({path, after});

    std::string original = head + std::string(kSize - head.size(), '\0');
    // The text goes out in pieces, or whole when the declaration is cut.
    for (bool removeCharset : {false, true}) {
        window_.TickCharset(removeCharset);
        WriteBytes(after, "caf\xC3\xA9");
        EXPECT_THAT(Decode(window_), ElementsAre(WriteError(path), kDone));
        EXPECT_TRUE(ReadBytes(path) == original) << "option " << removeCharset;
        EXPECT_EQ(ReadBytes(after).size(), 4u) << "the run goes on after the failure";
    }
    DeleteFileW(path.c_str());
    DeleteFileW(after.c_str());
}

// Needs a small drive that stays full, named in TOLVANE_TEST_KEPT_FULL_DRIVE,
// whose filler run_with_fault.sh starts once the file "arm" appears on it:
// from then on every block that comes free is taken again, before the
// write-back can have it. The conversion of each file fails for want of
// room, and so does putting its original bytes back.
TEST_F(DecodeRunUnderFault, WriteBackThatFailsSavesTheOriginalAside)
{
    std::wstring drive = Environment(L"TOLVANE_TEST_KEPT_FULL_DRIVE");
    ASSERT_FALSE(drive.empty()) << "needs TOLVANE_TEST_KEPT_FULL_DRIVE, a small drive that stays full";
    const std::string head = "<p>caf\xC3\xA9</p>";
    constexpr LONGLONG kSize = 1 << 20;
    const std::string original = head + std::string(kSize - head.size(), '\0');
    std::wstring saved = drive + L"\\saved.htm", lost = drive + L"\\lost.htm";
    WriteSparse(saved, head, kSize);
    WriteSparse(lost, head, kSize);

    // A file of that name is already in the temporary folder: it is kept.
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    std::wstring taken = std::wstring(temp) + L"saved.htm", recovery = std::wstring(temp) + L"saved (2).htm";
    DeleteFileW(recovery.c_str());
    WriteBytes(taken, "someone else's");

    WriteBytes(drive + L"\\arm", "");
    ULARGE_INTEGER free{};
    ASSERT_TRUE(WaitUntilTrue([&] {
        return GetFileAttributesW((drive + L"\\armed").c_str()) != INVALID_FILE_ATTRIBUTES &&
               GetDiskFreeSpaceExW((drive + L"\\").c_str(), &free, nullptr, nullptr) && free.QuadPart < 4096;
    })) << "the drive was not kept full";

    window_.ListPaths({saved});
    EXPECT_THAT(
        Decode(window_),
        ElementsAre(WriteError(saved) + L"\nThe original could not be put back; it is saved as: " + recovery, kDone));
    EXPECT_TRUE(ReadBytes(recovery) == original) << "the saved bytes differ from the original";
    EXPECT_EQ(ReadBytes(taken), "someone else's");
    DeleteFileW(recovery.c_str());
    DeleteFileW(taken.c_str());

    // Nowhere to save it either: the temporary folder does not exist.
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", (folder_.Path() + L"\\missing\\").c_str()));
    ASSERT_TRUE(SetEnvironmentVariableW(L"TEMP", (folder_.Path() + L"\\missing\\").c_str()));
    SendMessageW(window_.List(), LB_RESETCONTENT, 0, 0);
    window_.ListPaths({lost});
    EXPECT_THAT(Decode(window_),
                ElementsAre(WriteError(lost) + L"\nThe original could not be put back or saved.", kDone));
    SetEnvironmentVariableW(L"TMP", temp);
    SetEnvironmentVariableW(L"TEMP", temp);
}

// Needs a process that cannot take 2 GiB, marked by TOLVANE_TEST_MEMORY_LIMITED.
TEST_F(DecodeRunUnderFault, FileTooLargeForMemoryIsReportedAndUntouched)
{
    ASSERT_FALSE(Environment(L"TOLVANE_TEST_MEMORY_LIMITED").empty())
        << "needs a memory-limited process (TOLVANE_TEST_MEMORY_LIMITED)";
    std::wstring large = folder_.Join(L"large.htm");
    WriteSparse(large, "caf\xC3\xA9", 0x7FFFFFFFLL);
    std::wstring small = File(L"small.htm", "caf\xC3\xA9");
    window_.ListPaths({large, small});

    EXPECT_THAT(Decode(window_), ElementsAre(L"Error!|Not enough memory, left unchanged: " + large, kDone));
    EXPECT_EQ(FileSize(large), 0x7FFFFFFFLL);
    EXPECT_EQ(ReadHead(large, 5), "caf\xC3\xA9");
    EXPECT_EQ(ReadBytes(small).size(), 4u);
}

// The box stands above the program: owned by the foreground window, every
// other window of the thread disabled and no longer topmost while it shows.
TEST_F(DecodeFileListTest, BoxIsOwnedAndSetsTheOtherWindowsAside)
{
    RunWindow other;
    HWND topmost = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Static", L"on top", WS_POPUP | WS_VISIBLE, 0, 0,
                                   50, 50, nullptr, nullptr, nullptr, nullptr);
    HWND hidden = CreateWindowExW(0, L"Static", L"hidden", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window_.Frame());
    ASSERT_EQ(GetForegroundWindow(), window_.Frame());

    struct Seen {
        bool frameEnabled = true, otherEnabled = true, topmostEnabled = true, hiddenEnabled = false;
        bool topmostOnTop = true;
    } seen;
    std::vector<ShownBox> boxes;
    {
        BoxReader reader([&](HWND, const ShownBox&) {
            seen.frameEnabled = IsWindowEnabled(window_.Frame());
            seen.otherEnabled = IsWindowEnabled(other.Frame());
            seen.topmostEnabled = IsWindowEnabled(topmost);
            seen.hiddenEnabled = IsWindowEnabled(hidden);
            seen.topmostOnTop = (GetWindowLongPtrW(topmost, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        });
        DecodeFileList(window_.List(), window_.CharsetCheckBox(), window_.ReferencesCheckBox());
        boxes = reader.Boxes();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, window_.Frame());
    EXPECT_FALSE(seen.frameEnabled);
    EXPECT_FALSE(seen.otherEnabled);
    EXPECT_FALSE(seen.topmostEnabled);
    EXPECT_TRUE(seen.hiddenEnabled) << "invisible windows are left alone";
    EXPECT_FALSE(seen.topmostOnTop);

    EXPECT_TRUE(IsWindowEnabled(window_.Frame()));
    EXPECT_TRUE(IsWindowEnabled(other.Frame()));
    EXPECT_TRUE(IsWindowEnabled(topmost));
    EXPECT_TRUE(GetWindowLongPtrW(topmost, GWL_EXSTYLE) & WS_EX_TOPMOST);
    DestroyWindow(topmost);
    DestroyWindow(hidden);
}

} // namespace
