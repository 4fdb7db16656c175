#include "decode/transcode_file.h"

#include "base/unique_handle.h"
#include "decode/utf8_to_ansi.h"
#include "file_faults.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* Name(TranscodeResult result)
{
    switch (result) {
    case TranscodeResult::Converted: return "Converted";
    case TranscodeResult::OpenFailed: return "OpenFailed";
    case TranscodeResult::WriteFailed: return "WriteFailed";
    case TranscodeResult::WriteFailedSavedAside: return "WriteFailedSavedAside";
    case TranscodeResult::WriteFailedNotSaved: return "WriteFailedNotSaved";
    case TranscodeResult::NotUtf8: return "NotUtf8";
    case TranscodeResult::OutOfMemory: return "OutOfMemory";
    case TranscodeResult::Stopped: return "Stopped";
    }
    return "?";
}

TranscodeResult Transcode(const std::wstring& path, bool removeCharset = false)
{
    return TranscodeFile(path.c_str(), removeCharset);
}

struct FileCase {
    const char* name;
    UINT codePage; // 0: any
    std::string before;
    bool removeCharset;
    TranscodeResult result;
    std::string after; // what the file holds afterwards
};

void PrintTo(const FileCase& c, std::ostream* out)
{
    *out << c.name;
}

// A case that holds under one code page only carries it in its name; CTest
// runs it only in the locale that gives that code page.
std::string CaseName(const char* name, UINT codePage)
{
    return codePage ? std::string(name) + "InCodePage" + std::to_string(codePage) : std::string(name);
}

class TranscodeFileTest : public testing::TestWithParam<FileCase> {};

TEST_P(TranscodeFileTest, RewritesOrLeavesTheFile)
{
    const FileCase& c = GetParam();
    if (c.codePage)
        ASSERT_EQ(GetACP(), c.codePage) << "a case of code page " << c.codePage << " run in another locale";
    TempFolder folder;
    std::wstring path = folder.Join(L"page.htm");
    WriteBytes(path, c.before);
    EXPECT_STREQ(Name(Transcode(path, c.removeCharset)), Name(c.result));
    EXPECT_EQ(ReadBytes(path), c.after);
}

using R = TranscodeResult;
const std::string kZeroes("a\0b\0\0c", 6);
const std::string kAccentZero("a\0\xC3\xA9\0b", 6);

INSTANTIATE_TEST_SUITE_P(
    Cases, TranscodeFileTest,
    testing::Values(FileCase{"AsciiKeepsItsBytes", 0, "<p>plain</p>\r\n<p>text</p>\n", false, R::Converted,
                             "<p>plain</p>\r\n<p>text</p>\n"},
                    FileCase{"AccentsBecomeOneByte", 1252,
                             "caf\xC3\xA9 \xC3\x9C"
                             "ber",
                             false, R::Converted,
                             "caf\xE9 \xDC"
                             "ber"},
                    FileCase{"MissingLetterBestFit", 1252,
                             "\xC4\x80"
                             "b",
                             false, R::Converted, "Ab"},
                    FileCase{"MissingLetterDefault", 1252, "\xE4\xB8\xAD", false, R::Converted, "?"},
                    FileCase{"JapaneseToShiftJis", 932, "<p>\xE6\x97\xA5\xE6\x9C\xAC</p>", false, R::Converted,
                             "<p>\x93\xFA\x96\x7B</p>"},
                    FileCase{"LeadingByteOrderMarkDropped", 0, "\xEF\xBB\xBF<p>x</p>", false, R::Converted, "<p>x</p>"},
                    FileCase{"ByteOrderMarkOnlyLeavesEmptyFile", 0, "\xEF\xBB\xBF", false, R::Converted, ""},
                    FileCase{"InnerByteOrderMarkConverted", 1252,
                             "a\xEF\xBB\xBF"
                             "b",
                             false, R::Converted, "a?b"},
                    FileCase{"ZeroBytesPassThrough", 0, kZeroes, false, R::Converted, kZeroes},
                    FileCase{"TextAfterZeroByteConverted", 1252, kAccentZero, false, R::Converted,
                             std::string("a\0\xE9\0b", 5)},
                    FileCase{"AnsiFileLeftUnchanged", 0, "caf\xE9", false, R::NotUtf8, "caf\xE9"},
                    FileCase{"CutOffSequenceLeftUnchanged", 0, "ab\xC3", false, R::NotUtf8, "ab\xC3"},
                    FileCase{"OverlongLeftUnchanged", 0, "\xC0\xAF", false, R::NotUtf8, "\xC0\xAF"},
                    FileCase{"SurrogateLeftUnchanged", 0, "\xED\xA0\x80", false, R::NotUtf8, "\xED\xA0\x80"},
                    FileCase{"InvalidAfterZeroByteLeftUnchanged", 0, std::string("a\0\xFF", 3), false, R::NotUtf8,
                             std::string("a\0\xFF", 3)},
                    FileCase{"CharsetDeclarationCut", 1252, "<meta charset=\"utf-8\">\r\n<p>\xC3\xA9</p>", true,
                             R::Converted, "<meta \">\r\n<p>\xE9</p>"},
                    FileCase{"CharsetKeptWithOptionOff", 0, "<meta charset=\"utf-8\">", false, R::Converted,
                             "<meta charset=\"utf-8\">"},
                    FileCase{"CharsetCutToEmptyFile", 0, "charset=utf-8", true, R::Converted, ""},
                    FileCase{"CharsetInTextKept", 0, "<p>charset: latin1, saved as utf-8</p>", true, R::Converted,
                             "<p>charset: latin1, saved as utf-8</p>"},
                    FileCase{"CharsetAfterDoubleByteTrailKept", 932, "\xE3\x83\x84harset=utf-8", true, R::Converted,
                             "\x83\x63harset=utf-8"}),
    [](const auto& info) { return CaseName(info.param.name, info.param.codePage); });

// With references (an HTML file, the option ticked): what the file holds
// afterwards, and how many characters were still replaced.
struct ReferenceCase {
    const char* name;
    UINT codePage;
    std::string before;
    std::string after;
    int replaced;
    bool removeCharset = false;
};

void PrintTo(const ReferenceCase& c, std::ostream* out)
{
    *out << c.name;
}

class TranscodeReferencesTest : public testing::TestWithParam<ReferenceCase> {};

TEST_P(TranscodeReferencesTest, WritesReferencesOutsideScriptAndStyle)
{
    const ReferenceCase& c = GetParam();
    ASSERT_EQ(GetACP(), c.codePage) << "a case of code page " << c.codePage << " run in another locale";
    TempFolder folder;
    std::wstring path = folder.Join(L"page.html");
    WriteBytes(path, c.before);
    ReplacedCharacters replaced;
    EXPECT_STREQ(Name(TranscodeFile(path.c_str(), c.removeCharset, nullptr, true, &replaced)), "Converted");
    EXPECT_EQ(ReadBytes(path), c.after);
    EXPECT_EQ(replaced.count, c.replaced);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranscodeReferencesTest,
    testing::Values(
        ReferenceCase{"ArrowInText", 1252, "<p>a \xE2\x86\x92 b</p>", "<p>a &#8594; b</p>", 0},
        ReferenceCase{"AttributeValue", 1252, "<img alt=\"\xE2\x88\x9E \xC5\x82\">", "<img alt=\"&#8734; &#322;\">", 0},
        ReferenceCase{"Title", 1252, "<title>\xE2\x9C\x93 caf\xC3\xA9</title>", "<title>&#10003; caf\xE9</title>", 0},
        ReferenceCase{"ScriptKeepsThePlatformsBytes", 1252, "<script>a=\"\xE2\x86\x92\";</script><p>\xE2\x86\x92</p>",
                      "<script>a=\"?\";</script><p>&#8594;</p>", 1},
        ReferenceCase{"UpperCaseScriptWithType", 1252,
                      "<SCRIPT type=\"text/javascript\">x=\"\xC5\x82\"</SCRIPT>\xC5\x82",
                      "<SCRIPT type=\"text/javascript\">x=\"l\"</SCRIPT>&#322;", 1},
        ReferenceCase{"ScriptsIsNoScriptTag", 1252, "<scripts>\xC5\x82</scripts>", "<scripts>&#322;</scripts>", 0},
        ReferenceCase{"ScriptWithoutEndTag", 1252, "<p>\xE2\x86\x92</p><script>\xC5\x82\xE2\x86\x92",
                      "<p>&#8594;</p><script>l?", 2},
        ReferenceCase{"StyleEndTagWithSpace", 1252, "<style>p:before{content:\"\xE2\x86\x92\"}</style >\xE2\x86\x92",
                      "<style>p:before{content:\"?\"}</style >&#8594;", 1},
        ReferenceCase{"SupplementaryIsOneReference", 1252, "a\xF0\x9F\x98\x80z", "a&#128512;z", 0},
        ReferenceCase{"BestFitLetters", 1252, "\xC4\x80\xE2\x88\x9E\xC5\x82", "&#256;&#8734;&#322;", 0},
        ReferenceCase{"InnerByteOrderMark", 1252,
                      "a\xEF\xBB\xBF"
                      "b",
                      "a&#65279;b", 0},
        ReferenceCase{"RealQuestionMarkKept", 1252, "?\xC3\xA9?", "?\xE9?", 0},
        ReferenceCase{"LeadingByteOrderMarkDroppedAndCharsetCut", 1252,
                      "\xEF\xBB\xBF<meta charset=\"utf-8\"><p>\xE2\x86\x92</p>", "<meta \"><p>&#8594;</p>", 0, true},
        ReferenceCase{"YenBestFit", 932,
                      "\xC2\xA5"
                      "100",
                      "&#165;100", 0},
        ReferenceCase{"WaveDash", 932, "\xE3\x80\x9C\xEF\xBD\x9E", "&#12316;\x81\x60", 0},
        ReferenceCase{"ArrowAndInfinityExact", 932, "\xE2\x86\x92\xE2\x88\x9E", "\x81\xA8\x81\x87", 0},
        ReferenceCase{"Script", 932, "<script>\"\xC2\xA5\"</script>\xC5\x82", "<script>\"\\\"</script>&#322;", 1}),
    [](const auto& info) { return CaseName(info.param.name, info.param.codePage); });

// A file whose converted bytes are its bytes is not opened for writing: its
// timestamps stay, and a file no one may write to still counts as converted.
TEST(TranscodeFileUnchanged, AsciiFileIsNotRewritten)
{
    TempFolder folder;
    const std::string page = "<html><meta charset=us-ascii><p>plain &amp; simple</p></html>\r\n";
    struct Case {
        const char* name;
        std::string before;
        bool removeCharset;
        bool references;
        bool rewritten;
    } cases[] = {
        {"ascii", page, false, false, false},
        {"ascii with references", page, false, true, false},
        {"ascii, no declaration to cut", page, true, false, false},
        {"declaration cut", "<meta charset=utf-8>" + page, true, false, true},
        {"byte-order mark dropped", "\xEF\xBB\xBF" + page, false, false, true},
        {"accented letter", page + "caf\xC3\xA9", false, false, true},
    };
    const FILETIME old = {0x2A8A0000, 0x01C0E6B0}; // spring 2001
    for (const Case& c : cases) {
        std::wstring path = folder.Join(L"page.htm");
        WriteBytes(path, c.before);
        {
            UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(file && SetFileTime(file.Get(), &old, &old, &old));
        }
        EXPECT_STREQ(Name(TranscodeFile(path.c_str(), c.removeCharset, nullptr, c.references)), "Converted") << c.name;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
        bool timeKept = CompareFileTime(&data.ftLastWriteTime, &old) == 0;
        EXPECT_EQ(!timeKept, c.rewritten) << c.name;
        if (!c.rewritten)
            EXPECT_EQ(ReadBytes(path), c.before) << c.name;
    }

    // Held open by a reader that lets no one write: an unchanged file needs
    // no writing, so it is still Converted.
    std::wstring held = folder.Join(L"held.htm");
    WriteBytes(held, page);
    UniqueFile reader(CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_STREQ(Name(TranscodeFile(held.c_str(), false)), "Converted");
    WriteBytes(folder.Join(L"other.htm"), page + "\xC3\xA9");
    UniqueFile otherReader(CreateFileW(folder.Join(L"other.htm").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    EXPECT_STREQ(Name(TranscodeFile(folder.Join(L"other.htm").c_str(), false)), "WriteFailed")
        << "a file that does change needs the write the reader refuses";
}

// Larger than one piece of the rewrite: characters straddle the pieces'
// edges, and the file must come out as one conversion of the whole text.
TEST(TranscodeFileLarge, ComesOutAsTheWholeConversion)
{
    std::string text;
    while (text.size() < (3u << 20))
        text += "<p>caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 x</p>\r\n";
    AnsiConversion expected =
        ConvertUtf8ToAnsiThroughPlatform(text.data(), static_cast<int>(text.size()), GetProcessHeap());
    ASSERT_EQ(expected.status, AnsiConversionStatus::Converted);
    std::string expectedBytes(expected.text.As<char>(), static_cast<size_t>(expected.length));
    for (bool removeCharset : {false, true}) {
        TempFolder folder;
        std::wstring path = folder.Join(L"large.htm");
        WriteBytes(path, text);
        EXPECT_STREQ(Name(Transcode(path, removeCharset)), "Converted");
        EXPECT_TRUE(ReadBytes(path) == expectedBytes) << "option " << removeCharset;
    }
}

// The size comes from the opened file, whatever an earlier look at the
// folder entry said: a file that another hard link changed is read whole.
TEST(TranscodeFileSize, FileChangedThroughAnotherLinkIsReadWhole)
{
    TempFolder folder;
    std::wstring path = folder.Join(L"page.htm");
    std::wstring link = folder.Join(L"link.htm");
    WriteBytes(path, "caf\xC3\xA9");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), path.c_str(), nullptr)) << "error " << GetLastError();
    WriteBytes(link, "caf\xC3\xA9 and much more text");
    EXPECT_STREQ(Name(Transcode(path)), "Converted");
    EXPECT_EQ(ReadBytes(path).size(), 23u);
}

// Rewritten in place, the file stays the same file: every other hard link to
// it sees the converted text.
TEST(TranscodeFileSize, SecondHardLinkSeesTheConvertedText)
{
    TempFolder folder;
    std::wstring path = folder.Join(L"page.htm");
    std::wstring link = folder.Join(L"second.htm");
    WriteBytes(path, "<p>caf\xC3\xA9</p>");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), path.c_str(), nullptr)) << "error " << GetLastError();
    EXPECT_STREQ(Name(Transcode(path)), "Converted");
    std::string converted = ReadBytes(path);
    EXPECT_NE(converted, "<p>caf\xC3\xA9</p>");
    EXPECT_EQ(ReadBytes(link), converted);
}

TEST(TranscodeFileSize, EmptyFileIsOpenFailedAndUntouched)
{
    TempFolder folder;
    std::wstring path = folder.Join(L"empty.htm");
    WriteBytes(path, "");
    EXPECT_STREQ(Name(Transcode(path)), "OpenFailed");
    EXPECT_EQ(FileSize(path), 0);
}

TEST(TranscodeFileFaults, VanishedPathIsOpenFailed)
{
    TempFolder folder;
    EXPECT_STREQ(Name(Transcode(folder.Join(L"gone.htm"))), "OpenFailed");
    EXPECT_EQ(GetFileAttributesW(folder.Join(L"gone.htm").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TranscodeFileFaults, FileHeldOpenForWritingIsOpenFailed)
{
    TempFolder folder;
    std::wstring path = folder.Join(L"held.htm");
    WriteBytes(path, "caf\xC3\xA9");
    {
        HeldOpenFile held(path);
        ASSERT_TRUE(held.IsHeld());
        EXPECT_STREQ(Name(Transcode(path)), "OpenFailed");
    }
    EXPECT_EQ(ReadBytes(path), "caf\xC3\xA9");
}

TEST(TranscodeFileFaults, HiddenAndSystemFilesAreRewritten)
{
    TempFolder folder;
    std::wstring path = folder.Join(L"hidden.htm");
    WriteBytes(path, "<p>\xC3\xA9</p>");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_STREQ(Name(Transcode(path)), "Converted");
    std::string after = ReadBytes(path);
    EXPECT_EQ(after.size(), 8u);
    EXPECT_EQ(after.substr(0, 3), "<p>");
    DWORD attributes = GetFileAttributesW(path.c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        << "attributes " << attributes;
}

// Fills an existing file through OPEN_EXISTING (the fault refuses O_CREAT):
// `head`, then zeros up to `size` bytes without writing them.
void FillExisting(const std::wstring& path, const std::string& head, LONGLONG size)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.IsValid()) << "error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &written, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.Get()));
}

// Windows refuses CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL on a hidden or
// system file, and the rewrite goes through TRUNCATE_EXISTING; Wine does not
// refuse. Needs TOLVANE_TEST_STICKY_DRIVE, a small drive whose files
// rewrite.htm and restore.htm refuse CREATE_ALWAYS for a reason of their own
// (run_with_fault.sh sticky-full-drive), so that the fallback, and the
// write-back through its handle, run for real.
TEST(TranscodeFileUnderFault, CreateAlwaysRefusedTakesTheTruncateFallback)
{
    std::wstring drive = Environment(L"TOLVANE_TEST_STICKY_DRIVE");
    ASSERT_FALSE(drive.empty()) << "needs TOLVANE_TEST_STICKY_DRIVE";
    const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    std::wstring rewrite = drive + L"\\rewrite.htm", restore = drive + L"\\restore.htm";
    for (const std::wstring& path : {rewrite, restore}) {
        UniqueFile refused(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_FALSE(refused.IsValid()) << "CREATE_ALWAYS is not refused here: the fault was not made";
    }

    // Converted through the fallback.
    FillExisting(rewrite, "<p>caf\xC3\xA9</p>", 12);
    ASSERT_TRUE(SetFileAttributesW(rewrite.c_str(), kHiddenSystem));
    EXPECT_STREQ(Name(Transcode(rewrite)), "Converted");
    EXPECT_EQ(ReadBytes(rewrite).size(), 11u);
    EXPECT_EQ(GetFileAttributesW(rewrite.c_str()) & kHiddenSystem, kHiddenSystem);

    // The drive is too small for the converted text of a large sparse file:
    // the write fails and the original goes back through the same handle.
    const std::string head = "<p>caf\xC3\xA9</p>";
    constexpr LONGLONG kSize = 1 << 20;
    FillExisting(restore, head, kSize);
    ASSERT_TRUE(SetFileAttributesW(restore.c_str(), kHiddenSystem));
    EXPECT_STREQ(Name(Transcode(restore)), "WriteFailed");
    EXPECT_TRUE(ReadBytes(restore) == head + std::string(kSize - head.size(), '\0'));
    EXPECT_EQ(GetFileAttributesW(restore.c_str()) & kHiddenSystem, kHiddenSystem);
}

// Needs an unprivileged user: as root Wine opens a read-only file for writing.
TEST(TranscodeFileUnderFault, ReadOnlyFileIsWriteFailedAndUnchanged)
{
    TempFolder folder;
    std::wstring path = folder.Join(L"locked.htm");
    WriteBytes(path, "caf\xC3\xA9");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_FALSE(CanOpenForWriting(path))
        << "a read-only file opens for writing here (root): run as an unprivileged user";
    EXPECT_STREQ(Name(Transcode(path)), "WriteFailed");
    EXPECT_EQ(ReadBytes(path), "caf\xC3\xA9");
}

} // namespace
