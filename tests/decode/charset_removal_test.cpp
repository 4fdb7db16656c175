#include "decode/charset_removal.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

namespace {

std::string Removed(std::string text, const LeadBytes& leadBytes = {})
{
    int length = RemoveCharsetDeclaration(text.data(), static_cast<int>(text.size()), leadBytes);
    EXPECT_GE(length, 0);
    EXPECT_LE(length, static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

struct RemovalCase {
    const char* name;
    std::string before;
    std::string after;
};

void PrintTo(const RemovalCase& c, std::ostream* out)
{
    *out << c.name;
}

class CharsetRemovalTest : public testing::TestWithParam<RemovalCase> {};

TEST_P(CharsetRemovalTest, CutsOnlyADeclaration)
{
    EXPECT_EQ(Removed(GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CharsetRemovalTest,
    testing::Values(RemovalCase{"ContentAttribute", "content='text/html; charset=utf-8'", "content='text/html; '"},
                    RemovalCase{"MetaCharsetQuoted", "<meta charset='UTF-8'>", "<meta '>"},
                    RemovalCase{"OtherCharsetThenTextLeftAlone", "<meta charset='latin1'><p>Saved as utf-8</p>",
                                "<meta charset='latin1'><p>Saved as utf-8</p>"},
                    RemovalCase{"EndWordBeforeStartWordStays",
                                "<?xml version='1.0' encoding='utf-8'?><meta charset='UTF-8'>",
                                "<?xml version='1.0' encoding='utf-8'?><meta '>"},
                    RemovalCase{"WordCharsetInTextPassedOver", "a charset b charset=utf-8 c", "a charset b  c"},
                    RemovalCase{"MixedCaseAndSpaces", "x CharSet = Utf-8 y", "x  y"},
                    RemovalCase{"WholeText", "charset=utf-8", ""},
                    RemovalCase{"OtherEncoding", "<meta charset=us-ascii>", "<meta charset=us-ascii>"},
                    RemovalCase{"EndWordNeedsHyphen", "CHARSET=UTF8", "CHARSET=UTF8"},
                    RemovalCase{"DoubleQuotes", "<meta charset=\"utf-8\">", "<meta \">"},
                    RemovalCase{"TabsAndLineEnds", "<meta charset\r\n\t=\t\"utf-8\">", "<meta \">"},
                    RemovalCase{"NoFillerAtAll", "charsetutf-8!", "!"},
                    RemovalCase{"ColonIsNotFiller", "charset: utf-8", "charset: utf-8"},
                    RemovalCase{"OnlyFirstDeclarationCut", "charset=utf-8 charset=utf-8", " charset=utf-8"},
                    RemovalCase{"EndWordCutOffByEnd", "charset=utf-", "charset=utf-"},
                    RemovalCase{"StartWordCutOffByEnd", "abc chars", "abc chars"}, RemovalCase{"EmptyText", "", ""},
                    RemovalCase{"ZeroBytesAround", std::string("a\0charset=utf-8\0b", 17), std::string("a\0\0b", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

// In Shift-JIS the character U+30C4 is 83 63, its trail byte an ASCII 'c':
// "charset" made of that trail byte and six more letters is no start word.
TEST(CharsetRemovalDoubleByte, TrailByteNeverStartsAMatch)
{
    LeadBytes shiftJis = LeadBytesOf(932);
    ASSERT_TRUE(shiftJis.lead[0x83]);
    EXPECT_EQ(Removed("\x83"
                      "charset=utf-8",
                      shiftJis),
              "\x83"
              "charset=utf-8");
    EXPECT_EQ(Removed("\x83"
                      "charset=utf-8 charset=utf-8",
                      shiftJis),
              "\x83"
              "charset=utf-8 ");
    // After a whole double-byte character the next byte is a boundary again.
    EXPECT_EQ(Removed("\x83\x63"
                      "charset=utf-8",
                      shiftJis),
              "\x83\x63");
    // Without lead bytes every byte is a boundary.
    EXPECT_EQ(Removed("\x83"
                      "charset=utf-8"),
              "\x83");
}

TEST(CharsetRemovalDoubleByte, SingleByteCodePageHasNoLeadBytes)
{
    LeadBytes latin = LeadBytesOf(1252);
    for (bool lead : latin.lead)
        EXPECT_FALSE(lead);
}

// Random texts against a regular expression of the same rule: the first
// "charset", filler, "utf-8" (in a single-byte code page every byte starts a
// character) is what goes, and nothing else changes.
TEST(CharsetRemovalFuzz, CutsTheFirstMatchOfTheRule)
{
    const char* pieces[] = {"charset", "CharSet", "CHARSET", "utf-8", "UTF-8", "Utf-8",  "utf8", "utf_8", "=", "'",
                            "\"",      " ",       "\t",      "\r\n",  "x",     "<meta ", ";",    "c",     "-", ":"};
    const std::regex rule("charset[ \\t\\r\\n='\"]*utf-8", std::regex::icase);
    std::mt19937 random(20261211);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        int count = static_cast<int>(random() % 12);
        for (int k = 0; k < count; ++k)
            text += pieces[random() % std::size(pieces)];
        std::string expected = text;
        std::smatch match;
        if (std::regex_search(text, match, rule))
            expected = text.substr(0, match.position(0)) + text.substr(match.position(0) + match.length(0));
        ASSERT_EQ(Removed(text), expected) << "text: " << text;
    }
}

} // namespace
