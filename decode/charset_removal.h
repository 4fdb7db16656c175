// Cuts the charset declaration ("charset=utf-8" and its spellings) out of a
// converted text, in place.
#pragma once

#include <windows.h>

// Which byte values begin a double-byte character in a code page; all false
// for a single-byte code page.
struct LeadBytes {
    bool lead[256] = {};
};

LeadBytes LeadBytesOf(UINT codePage);

// Finds the first "charset" (any letter case) that begins on a character
// boundary and is followed, after nothing but white space (space, tab, CR,
// LF), '=' and quote characters, by "utf-8" (any letter case); cuts from the
// start word through the end word by moving the tail down, and returns the
// new length. A "charset" followed by anything else is passed over. The text
// comes back unchanged, with its own length, when there is no such pair.
// At most one span is cut. A function of its arguments alone.
int RemoveCharsetDeclaration(char* text, int length, const LeadBytes& leadBytes);

// The same in the active ANSI code page, the code page of converted text.
int RemoveCharsetDeclaration(char* text, int length);
