#include "decode/utf8_to_ansi.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// "converted:<bytes>" or the status, so one comparison shows both.
std::string Outcome(const AnsiConversion& conversion)
{
    switch (conversion.status) {
    case AnsiConversionStatus::Converted:
        return "converted:" + std::string(conversion.text.As<char>(), static_cast<size_t>(conversion.length));
    case AnsiConversionStatus::NotUtf8: return "not UTF-8";
    case AnsiConversionStatus::OutOfMemory: return "out of memory";
    }
    return "?";
}

std::string Fast(const std::string& text)
{
    return Outcome(ConvertUtf8ToAnsi(text.data(), static_cast<int>(text.size()), GetProcessHeap()));
}

std::string Platform(const std::string& text)
{
    return Outcome(ConvertUtf8ToAnsiThroughPlatform(text.data(), static_cast<int>(text.size()), GetProcessHeap()));
}

std::string Utf8(char32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | c >> 6);
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += static_cast<char>(0xE0 | c >> 12);
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | c >> 18);
        s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// The cases of one code page skip in the other locale's run. A locale that
// was never generated would silently give 1252 in both runs, and the 932
// cases would then never run: the run in that locale fails instead.
TEST(Utf8ToAnsi, LocaleGivesTheCodePageTheCasesNeed)
{
    wchar_t locale[64] = L"";
    GetEnvironmentVariableW(L"LC_ALL", locale, 64);
    std::wstring name = locale;
    if (name.starts_with(L"ja_JP"))
        EXPECT_EQ(GetACP(), 932u) << "the ja_JP locale is not generated here (locale-gen)";
    else if (name.starts_with(L"en_US"))
        EXPECT_EQ(GetACP(), 1252u) << "the en_US locale is not generated here (locale-gen)";
    else
        ADD_FAILURE() << "run in en_US or ja_JP (LC_ALL), as CTest does";
}

TEST(Utf8ToAnsi, KnownBytesInCodePage1252)
{
    ASSERT_EQ(GetACP(), 1252u) << "a case of code page 1252 run in another locale";
    EXPECT_EQ(Fast("caf\xC3\xA9"), "converted:caf\xE9");
    EXPECT_EQ(Fast("\xC4\x80"), "converted:A"); // best fit: A with macron
    EXPECT_EQ(Fast("\xE4\xB8\xAD"), "converted:?");
    EXPECT_EQ(Fast("\xF0\x9F\x98\x80"), "converted:??");
    EXPECT_EQ(Fast(std::string("a\0\xC3\xA9\0", 5)), std::string("converted:a\0\xE9\0", 14));
}

TEST(Utf8ToAnsi, KnownBytesInCodePage932)
{
    ASSERT_EQ(GetACP(), 932u) << "a case of code page 932 run in another locale";
    EXPECT_EQ(Fast("\xE6\x97\xA5\xE6\x9C\xAC"), "converted:\x93\xFA\x96\x7B");
    EXPECT_EQ(Fast("a\xE3\x83\x84"
                   "b"),
              "converted:a\x83\x63"
              "b");
}

TEST(Utf8ToAnsi, EmptyTextConverts)
{
    EXPECT_EQ(Fast(""), "converted:");
    EXPECT_EQ(Platform(""), "converted:");
}

// Every character of the Basic Multilingual Plane and a sample beyond it,
// in one text and at every alignment of the block copy.
TEST(Utf8ToAnsi, EveryCharacterComesOutAsThePlatformMakesIt)
{
    std::string all;
    for (char32_t c = 0; c < 0x10000; ++c)
        if (c < 0xD800 || c > 0xDFFF)
            all += Utf8(c);
    for (char32_t c = 0x10000; c <= 0x10FFFF; c += 0x101)
        all += Utf8(c);
    all += Utf8(0x10FFFF);
    ASSERT_EQ(Fast(all), Platform(all));
    for (size_t shift = 1; shift < 16; ++shift) {
        std::string shifted = std::string(shift, 'a') + all.substr(0, 5000);
        ASSERT_EQ(Fast(shifted), Platform(shifted)) << "shift " << shift;
    }
}

// Every two- and three-byte sequence and a sample of four-byte ones, between
// ASCII: the fast conversion refuses exactly what the platform refuses.
TEST(Utf8ToAnsi, RefusesExactlyWhatThePlatformRefuses)
{
    auto check = [](const std::string& text) { ASSERT_EQ(Fast(text), Platform(text)) << testing::PrintToString(text); };
    for (int b0 = 0x80; b0 <= 0xFF; ++b0)
        for (int b1 = 0; b1 <= 0xFF; ++b1)
            check({'a', static_cast<char>(b0), static_cast<char>(b1), 'z'});
    for (int b0 = 0xE0; b0 <= 0xEF; ++b0)
        for (int b1 = 0x70; b1 <= 0xC8; ++b1)
            for (int b2 = 0x70; b2 <= 0xC8; ++b2)
                check({static_cast<char>(b0), static_cast<char>(b1), static_cast<char>(b2), 'z'});
    for (int b0 = 0xF0; b0 <= 0xFF; ++b0)
        for (int b1 = 0x70; b1 <= 0xC8; ++b1)
            for (int b3 : {0x41, 0x80, 0xBF, 0xC0})
                check({static_cast<char>(b0), static_cast<char>(b1), '\x80', static_cast<char>(b3)});
}

// Random texts from pieces that matter: ASCII runs long and short, letters
// of each length, a byte-order mark, zeros, stray and cut-off bytes.
TEST(Utf8ToAnsi, RandomTextsMatchThePlatform)
{
    const std::string pieces[] = {"a",
                                  "<p class=\"x\">0123456789abcdef</p>\r\n",
                                  "\xC3\xA9",
                                  "\xC4\x80",
                                  "\xE2\x82\xAC",
                                  "\xE4\xB8\xAD\xE6\x96\x87",
                                  "\xEF\xBB\xBF",
                                  "\xEF\xBF\xBF",
                                  "\xF0\x9F\x98\x80",
                                  std::string(1, '\0'),
                                  "\xE9",
                                  "\xC3",
                                  "\xE2\x82",
                                  "\x80",
                                  "\xED\xA0\x80",
                                  "\xF4\x90\x80\x80"};
    std::mt19937 random(1211);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int count = static_cast<int>(random() % 24);
        // Mostly valid texts, so that the converted bytes get compared too.
        size_t valid = round % 3 ? 10 : std::size(pieces);
        for (int k = 0; k < count; ++k)
            text += pieces[random() % valid];
        ASSERT_EQ(Fast(text), Platform(text)) << testing::PrintToString(text);
    }
}

// The valid and invalid sequences again, inside longer texts of ASCII and
// two-byte letters at every alignment, so that the block paths meet them.
TEST(Utf8ToAnsi, BlocksRefuseExactlyWhatThePlatformRefuses)
{
    const std::string around = "ab\xC3\xA9"
                               "cdefgh\xC3\xBC"
                               "ijklmnop\xC3\xB6qrstuvwxyz0123456789";
    const int seconds[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xFF};
    for (int b0 = 0x80; b0 <= 0xFF; ++b0)
        for (int b1 : seconds)
            for (size_t shift = 0; shift < 20; ++shift) {
                std::string text = around.substr(0, shift) + static_cast<char>(b0) + static_cast<char>(b1) +
                                   "\x80\x80" + around + around;
                ASSERT_EQ(Fast(text), Platform(text)) << testing::PrintToString(text);
            }
}

// What the platform makes of one code point, and whether that comes back
// from the code page as the same character.
struct PlatformCharacter {
    std::string bytes;
    bool exact;
};

PlatformCharacter AskPlatform(char32_t c)
{
    std::wstring units;
    if (c < 0x10000) {
        units += static_cast<wchar_t>(c);
    } else {
        units += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        units += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    char bytes[16];
    int n = WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()), bytes, sizeof bytes, nullptr,
                                nullptr);
    wchar_t back[16];
    int m = MultiByteToWideChar(CP_ACP, 0, bytes, n, back, 16);
    return {std::string(bytes, static_cast<size_t>(n)), std::wstring(back, static_cast<size_t>(m)) == units};
}

std::string Reference(char32_t c)
{
    return "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
}

std::string WithReferences(const std::string& text, ReplacedCharacters* replaced = nullptr)
{
    AnsiConversionState state;
    state.references = true;
    std::string outcome =
        Outcome(ConvertUtf8ToAnsi(text.data(), static_cast<int>(text.size()), GetProcessHeap(), &state));
    if (replaced)
        *replaced = state.replaced;
    return outcome;
}

// Every character of the Basic Multilingual Plane and a sample beyond it:
// with references, the exact ones keep the platform's bytes and every other
// one becomes its reference; without, each inexact one is counted as
// replaced, the first five distinct ones named in order.
TEST(Utf8ToAnsi, ExactlyTheInexactCharactersBecomeReferences)
{
    std::string all;
    std::string expected;
    std::vector<char32_t> inexact;
    auto add = [&](char32_t c) {
        PlatformCharacter platform = AskPlatform(c);
        all += Utf8(c);
        expected += platform.exact ? platform.bytes : Reference(c);
        if (!platform.exact)
            inexact.push_back(c);
    };
    for (char32_t c = 0; c < 0x10000; ++c)
        if (c < 0xD800 || c > 0xDFFF)
            add(c);
    for (char32_t c = 0x10000; c <= 0x10FFFF; c += 0x1001)
        add(c);
    add(0x1F600);
    add(0x10FFFF);
    ASSERT_GT(inexact.size(), 5u);

    ReplacedCharacters replaced;
    EXPECT_TRUE(WithReferences(all, &replaced) == "converted:" + expected);
    EXPECT_EQ(replaced.count, 0) << "a reference replaces nothing";

    AnsiConversionState state;
    AnsiConversion plain = ConvertUtf8ToAnsi(all.data(), static_cast<int>(all.size()), GetProcessHeap(), &state);
    ASSERT_EQ(Outcome(plain), Platform(all));
    EXPECT_EQ(state.replaced.count, static_cast<int>(inexact.size()));
    ASSERT_EQ(state.replaced.distinct, 5);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(state.replaced.first[k], inexact[static_cast<size_t>(k)]) << k;
    EXPECT_TRUE(state.replaced.more);
}

TEST(Utf8ToAnsi, ReplacedCharactersAreCountedEachTimeAndNamedOnceInCodePage1252)
{
    ASSERT_EQ(GetACP(), 1252u) << "a case of code page 1252 run in another locale";
    // U+2192 (?), U+0142 (l), U+221E (8), U+2192 again, a real '?', U+0100 (A).
    const std::string text = "\xE2\x86\x92 \xC5\x82 \xE2\x88\x9E \xE2\x86\x92 ? \xC4\x80";
    AnsiConversionState state;
    EXPECT_EQ(Outcome(ConvertUtf8ToAnsi(text.data(), static_cast<int>(text.size()), GetProcessHeap(), &state)),
              "converted:? l 8 ? ? A");
    EXPECT_EQ(state.replaced.count, 5);
    ASSERT_EQ(state.replaced.distinct, 4);
    EXPECT_EQ(state.replaced.first[0], U'\x2192');
    EXPECT_EQ(state.replaced.first[1], U'\x0142');
    EXPECT_EQ(state.replaced.first[2], U'\x221E');
    EXPECT_EQ(state.replaced.first[3], U'\x0100');
    EXPECT_FALSE(state.replaced.more);
}

// A model of the references written into an HTML text, built on the
// platform alone: the text as UTF-16, each character asked of the code page
// on its own, script and style content found by looking at the UTF-16 text.
std::string ModelWithReferences(const std::string& text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    auto lowerAt = [&](size_t k, size_t count) {
        std::wstring part = wide.substr(k, count);
        for (wchar_t& ch : part)
            if (ch >= L'A' && ch <= L'Z')
                ch = static_cast<wchar_t>(ch - L'A' + L'a');
        return part;
    };
    auto startsElement = [&](size_t k, const std::wstring& tag) {
        if (lowerAt(k, tag.size()) != tag || k + tag.size() >= wide.size())
            return false;
        return std::wstring(L" \t\n\r\f>/").find(wide[k + tag.size()]) != std::wstring::npos;
    };
    std::string out;
    std::wstring inside; // the end tag awaited, empty outside script and style
    for (size_t k = 0; k < wide.size(); ++k) {
        if (wide[k] == L'<') {
            if (inside.empty() && startsElement(k, L"<script"))
                inside = L"</script";
            else if (inside.empty() && startsElement(k, L"<style"))
                inside = L"</style";
            else if (!inside.empty() && lowerAt(k, inside.size()) == inside)
                inside.clear();
        }
        char32_t c = wide[k];
        if (c >= 0xD800 && c <= 0xDBFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[++k] - 0xDC00);
        PlatformCharacter platform = AskPlatform(c);
        out += platform.exact || !inside.empty() ? platform.bytes : Reference(c);
    }
    return out;
}

// Random HTML texts, converted in pieces of many sizes with references: the
// pieces join to the model's text, wherever a piece's edge falls (inside a
// tag, a character, an element).
TEST(Utf8ToAnsi, PiecesWithReferencesMatchTheModel)
{
    const std::string pieces[] = {"a",
                                  "<p title=\"x\">0123456789abcdef</p>\r\n",
                                  "\xC3\xA9",
                                  "\xE2\x86\x92",
                                  "\xC4\x80",
                                  "\xE4\xB8\xAD",
                                  "\xF0\x9F\x98\x80",
                                  "<script>",
                                  "<SCRIPT type=\"text/javascript\">",
                                  "</script>",
                                  "</ScRiPt\n>",
                                  "<style>",
                                  "</style >",
                                  "<scripts>",
                                  "<stylesheet>",
                                  "<",
                                  "</",
                                  "<script/>",
                                  "\xEF\xBB\xBF",
                                  std::string(1, '\0'),
                                  "0123456789abcdef0123456789abcdef"};
    std::mt19937 random(712);
    for (int round = 0; round < 1500; ++round) {
        std::string text;
        int count = static_cast<int>(random() % 40);
        for (int k = 0; k < count; ++k)
            text += pieces[random() % std::size(pieces)];
        std::string expected = "converted:" + ModelWithReferences(text);
        ASSERT_EQ(WithReferences(text), expected) << testing::PrintToString(text);
        for (int room : {kAnsiPieceSlack + 1, kAnsiPieceSlack + 2, kAnsiPieceSlack + 7, kAnsiPieceSlack + 40}) {
            AnsiConversionState state;
            state.references = true;
            std::string joined;
            std::string piece(static_cast<size_t>(room), '\0');
            for (int done = 0; done < static_cast<int>(text.size());) {
                int before = done;
                int converted = ConvertUtf8PieceToAnsi(state, text.data(), static_cast<int>(text.size()), &done,
                                                       piece.data(), room);
                ASSERT_GE(converted, 0);
                ASSERT_GT(done, before);
                joined.append(piece.data(), static_cast<size_t>(converted));
            }
            ASSERT_EQ("converted:" + joined, expected) << "room " << room << ": " << testing::PrintToString(text);
        }
    }
}

// Pieces without references give the bytes of the platform's conversion of
// the whole text.
TEST(Utf8ToAnsi, PiecesJoinToThePlatformsConversion)
{
    std::string text;
    for (int k = 0; k < 3000; ++k)
        text += "ab\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80<p>\xC4\x80\xE2\x86\x92 0123456789abcdef\xC3\xBC\xC3\xB6";
    for (int room : {kAnsiPieceSlack + 1, kAnsiPieceSlack + 3, 4096, 65537}) {
        AnsiConversionState state;
        std::string joined;
        std::string piece(static_cast<size_t>(room), '\0');
        for (int done = 0; done < static_cast<int>(text.size());) {
            int converted =
                ConvertUtf8PieceToAnsi(state, text.data(), static_cast<int>(text.size()), &done, piece.data(), room);
            ASSERT_GE(converted, 0);
            joined.append(piece.data(), static_cast<size_t>(converted));
        }
        EXPECT_EQ("converted:" + joined, Platform(text)) << "room " << room;
    }
}

TEST(Utf8ToAnsi, IsUtf8RefusesWhatTheConversionRefuses)
{
    EXPECT_FALSE(IsUtf8("caf\xE9", 4));
    EXPECT_FALSE(IsUtf8("ab\xC3", 3));
    EXPECT_TRUE(IsUtf8("", 0));
    EXPECT_TRUE(IsUtf8("caf\xC3\xA9", 5));
}

TEST(Utf8ToAnsi, AFullHeapIsOutOfMemory)
{
    HANDLE small = HeapCreate(0, 0, 64 * 1024);
    ASSERT_NE(small, nullptr);
    std::string text(256 * 1024, 'a');
    EXPECT_EQ(ConvertUtf8ToAnsi(text.data(), static_cast<int>(text.size()), small).status,
              AnsiConversionStatus::OutOfMemory);
    EXPECT_EQ(ConvertUtf8ToAnsiThroughPlatform(text.data(), static_cast<int>(text.size()), small).status,
              AnsiConversionStatus::OutOfMemory);
    HeapDestroy(small);
}

} // namespace
