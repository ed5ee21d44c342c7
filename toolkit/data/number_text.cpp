#include "toolkit/data/number_text.h"

#include <string.h>

#include <windows.h>

static char SpaceBuf[16];
static char Number16Buf[17];
static char Number2Buf[12];
static char AsciiBuf[11];
static char WideBuf[21];

// First byte of every full-width digit and Latin letter of code page 932.
static const unsigned char WideLead = 0x82;

int DecToInt(const char* text)
{
    if (!text)
        return 0;
    int negative = text[0] == '-';
    const char* p = text + negative;
    if (*p == 0)
        return 0;
    // Unsigned arithmetic wraps by definition; the value is only taken as
    // signed at the end.
    unsigned int value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10u + (unsigned int)(*p - '0');
    }
    return (int)(negative ? 0u - value : value);
}

const char* FormatNumber16(int value, int zero_fill, int fixed_width)
{
    const char* format = !fixed_width ? "%d" : zero_fill ? "%016d" : "%16d";
    wsprintfA(Number16Buf, format, value);
    return Number16Buf;
}

const char* FormatNumber2(int value, int zero_fill, int fixed_width)
{
    const char* format = !fixed_width ? "%d" : zero_fill ? "%02d" : "%2d";
    wsprintfA(Number2Buf, format, value);
    return Number2Buf;
}

const char* SpaceText(int length)
{
    if (length < 0)
        length = 0;
    if (length > (int)sizeof SpaceBuf - 1)
        length = (int)sizeof SpaceBuf - 1;
    memset(SpaceBuf, 0, sizeof SpaceBuf);
    memset(SpaceBuf, ' ', length);
    return SpaceBuf;
}

// Returns the single byte for the full-width digit or letter whose second
// byte is second, or 0 for any other character.
static char AsciiOfWide(unsigned char second)
{
    if (second >= 0x4F && second <= 0x58)
        return (char)('0' + (second - 0x4F));
    if (second >= 0x60 && second <= 0x79)
        return (char)('A' + (second - 0x60));
    if (second >= 0x81 && second <= 0x9A)
        return (char)('a' + (second - 0x81));
    return 0;
}

const char* WideDigitsToAscii(const char* text)
{
    memset(AsciiBuf, 0, sizeof AsciiBuf);
    if (!text)
        return AsciiBuf;
    // A second byte is read only behind a lead byte 0x82, so never past the
    // terminator; the terminator itself maps to nothing and ends the run.
    for (int count = 0; count < (int)sizeof AsciiBuf - 1; ++count, text += 2) {
        if ((unsigned char)text[0] != WideLead)
            break;
        char c = AsciiOfWide((unsigned char)text[1]);
        if (!c)
            break;
        AsciiBuf[count] = c;
    }
    return AsciiBuf;
}

const char* AsciiDigitsToWide(const char* text)
{
    memset(WideBuf, 0, sizeof WideBuf);
    if (!text)
        return WideBuf;
    for (int used = 0; used < (int)sizeof WideBuf - 1 && *text >= '0' && *text <= '9'; ++text) {
        WideBuf[used++] = (char)WideLead;
        WideBuf[used++] = (char)(*text + 0x1F);
    }
    return WideBuf;
}
