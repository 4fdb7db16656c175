#include "decode/charset_removal.h"

#include <cstring>

namespace {

constexpr char kStartWord[] = "charset";
constexpr int kStartLength = 7;
constexpr char kEndWord[] = "utf-8";
constexpr int kEndLength = 5;

// Both words are ASCII, and every ANSI code page stores ASCII as itself, so
// a byte comparison in which A to Z count as a to z is the letter-case-blind
// comparison of the texts.
bool MatchesWord(const char* bytes, const char* word, int wordLength)
{
    for (int k = 0; k < wordLength; ++k) {
        unsigned char b = static_cast<unsigned char>(bytes[k]);
        if (b >= 'A' && b <= 'Z')
            b = static_cast<unsigned char>(b - 'A' + 'a');
        if (b != static_cast<unsigned char>(word[k]))
            return false;
    }
    return true;
}

bool IsDeclarationFiller(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '=' || c == '\'' || c == '"';
}

} // namespace

LeadBytes LeadBytesOf(UINT codePage)
{
    LeadBytes result;
    CPINFO info;
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize != 2)
        return result;
    for (int k = 0; k + 1 < MAX_LEADBYTES && info.LeadByte[k]; k += 2)
        for (int b = info.LeadByte[k]; b <= info.LeadByte[k + 1]; ++b)
            result.lead[b] = true;
    return result;
}

int RemoveCharsetDeclaration(char* text, int length, const LeadBytes& leadBytes)
{
    int i = 0;
    while (i + kStartLength <= length) {
        if (!MatchesWord(text + i, kStartWord, kStartLength)) {
            // Step over whole characters, so that the trail byte of a
            // double-byte character never begins a match.
            i += leadBytes.lead[static_cast<unsigned char>(text[i])] ? 2 : 1;
            continue;
        }
        int j = i + kStartLength;
        while (j < length && IsDeclarationFiller(text[j]))
            ++j;
        if (j + kEndLength <= length && MatchesWord(text + j, kEndWord, kEndLength)) {
            int end = j + kEndLength;
            std::memmove(text + i, text + end, static_cast<size_t>(length - end));
            return length - (end - i);
        }
        // Not a declaration: document text that happens to say "charset".
        // The word holds no second 'c', so the next one starts after it.
        i += kStartLength;
    }
    return length;
}

int RemoveCharsetDeclaration(char* text, int length)
{
    static const LeadBytes activeLeadBytes = LeadBytesOf(CP_ACP);
    return RemoveCharsetDeclaration(text, length, activeLeadBytes);
}
