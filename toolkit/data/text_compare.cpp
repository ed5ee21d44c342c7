#include "toolkit/data/text_compare.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"

const char* TokenCursor = 0;
// Length of the delimiter TokenCursor stands on: 1 or 2, or 0 at the end.
static int TokenStep = 0;

// The C library's tolower and toupper are undefined for the bytes above 0x7F
// that a char holds as negative values, and may follow a locale; the letters
// are mapped here directly.
static unsigned char LowerByte(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? (unsigned char)(c + ('a' - 'A')) : c;
}

static unsigned char UpperByte(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? (unsigned char)(c - ('a' - 'A')) : c;
}

// Copies text to dst character by character, single bytes through map, both
// bytes of a two-byte character unchanged. A lead byte without its second
// byte (half a character at the end) is copied as it is.
static void MapCopy(char* dst, const char* text, unsigned char (*map)(unsigned char))
{
    while (*text) {
        if (DbcsCharLength(text) == 2) {
            *dst++ = *text++;
            *dst++ = *text++;
        } else {
            *dst++ = (char)map((unsigned char)*text++);
        }
    }
    *dst = 0;
}

void LowerCopy(char* dst, const char* text)
{
    MapCopy(dst, text, LowerByte);
}

void UpperCopy(char* dst, const char* text)
{
    MapCopy(dst, text, UpperByte);
}

int CompareNoCase(const char* text1, const char* text2)
{
    const unsigned char* p = (const unsigned char*)text1;
    const unsigned char* q = (const unsigned char*)text2;
    // While the texts agree, their characters start at the same places (a
    // lead byte is never a letter), so one flag tells for both whether the
    // bytes at hand are second bytes, which keep their case.
    int second = 0;
    for (;; ++p, ++q) {
        int c1 = second ? *p : LowerByte(*p);
        int c2 = second ? *q : LowerByte(*q);
        if (c1 != c2 || c1 == 0)
            return c1 - c2;
        second = !second && DbcsIsLeadByte((unsigned char)c1);
    }
}

int ComparePrefix(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix));
}

int ContainsText(const char* text, const char* part)
{
    size_t part_len = strlen(part);
    size_t left = strlen(text);
    for (;;) {
        if (left < part_len)
            return 0;
        if (strncmp(text, part, part_len) == 0)
            return 1;
        int n = DbcsCharLength(text);
        if (n == 0)
            return 0;
        text += n;
        left -= n;
    }
}

// Returns the length of the delimiter when it stands at text, a character
// start, else 0.
static int DelimiterAt(const char* text, unsigned int delimiter)
{
    if (delimiter <= 0xFF)
        return DbcsCharLength(text) == 1 && (unsigned char)text[0] == delimiter ? 1 : 0;
    unsigned char first = (unsigned char)(delimiter >> 8);
    unsigned char second = (unsigned char)delimiter;
    // A second byte of 0 would match the terminator and lead the next call
    // past the end of the text.
    return second != 0 && (unsigned char)text[0] == first && (unsigned char)text[1] == second ? 2 : 0;
}

int ScanToken(char* out, const char* text, unsigned int delimiter)
{
    if (text)
        TokenCursor = text;
    else if (!TokenCursor)
        return 0;
    else
        TokenCursor += TokenStep;
    TokenStep = 0;
    int count = 0;
    while (*TokenCursor) {
        TokenStep = DelimiterAt(TokenCursor, delimiter);
        if (TokenStep)
            break;
        int n = DbcsCharLength(TokenCursor);
        if (n == 0)
            n = 1;  // half a character at the end: kept in the token
        if (out)
            memcpy(out + count, TokenCursor, n);
        count += n;
        TokenCursor += n;
    }
    if (out)
        out[count] = 0;
    return count;
}
