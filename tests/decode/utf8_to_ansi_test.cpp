#include "decode/utf8_to_ansi.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

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
    if (GetACP() != 1252)
        GTEST_SKIP() << "needs code page 1252";
    EXPECT_EQ(Fast("caf\xC3\xA9"), "converted:caf\xE9");
    EXPECT_EQ(Fast("\xC4\x80"), "converted:A"); // best fit: A with macron
    EXPECT_EQ(Fast("\xE4\xB8\xAD"), "converted:?");
    EXPECT_EQ(Fast("\xF0\x9F\x98\x80"), "converted:??");
    EXPECT_EQ(Fast(std::string("a\0\xC3\xA9\0", 5)), std::string("converted:a\0\xE9\0", 14));
}

TEST(Utf8ToAnsi, KnownBytesInCodePage932)
{
    if (GetACP() != 932)
        GTEST_SKIP() << "needs code page 932";
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

// Pieces cut at any size, converted one after the other, give the bytes of
// the whole conversion.
TEST(Utf8ToAnsi, PiecesJoinToTheWholeConversion)
{
    std::string text;
    for (int k = 0; k < 3000; ++k)
        text += "ab\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80<p>\xC4\x80";
    ASSERT_EQ(CheckUtf8ForAnsi(text.data(), static_cast<int>(text.size())), AnsiCheck::Pieces);
    for (int wanted : {1, 2, 3, 4, 5, 7, 16, 17, 4096, 65537}) {
        std::string joined;
        std::string piece(static_cast<size_t>(wanted) + 4, '\0');
        for (int done = 0; done < static_cast<int>(text.size());) {
            int whole = WholeCharactersIn(text.data() + done, static_cast<int>(text.size()) - done, wanted);
            if (whole == 0) // a character longer than the piece: take it whole
                whole = WholeCharactersIn(text.data() + done, static_cast<int>(text.size()) - done, 4);
            ASSERT_GT(whole, 0);
            int converted = ConvertUtf8PieceToAnsi(text.data() + done, whole, piece.data());
            ASSERT_GE(converted, 0);
            joined.append(piece.data(), static_cast<size_t>(converted));
            done += whole;
        }
        EXPECT_EQ("converted:" + joined, Platform(text)) << "pieces of " << wanted;
    }
}

TEST(Utf8ToAnsi, CheckRefusesWhatTheConversionRefuses)
{
    EXPECT_EQ(CheckUtf8ForAnsi("caf\xE9", 4), AnsiCheck::NotUtf8);
    EXPECT_EQ(CheckUtf8ForAnsi("ab\xC3", 3), AnsiCheck::NotUtf8);
    EXPECT_EQ(CheckUtf8ForAnsi("", 0), AnsiCheck::Pieces);
    EXPECT_EQ(CheckUtf8ForAnsi("caf\xC3\xA9", 5), AnsiCheck::Pieces);
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
