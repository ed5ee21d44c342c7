#include "toolkit/data/dbcs_text.h"

#include <string.h>

int DbcsIsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

int DbcsCharLength(const char* text)
{
    if (text[0] == 0)
        return 0;
    if (DbcsIsLeadByte((unsigned char)text[0]))
        return text[1] != 0 ? 2 : 0;
    return 1;
}

int DbcsFitLength(const char* text, int max_len)
{
    int len = 0;
    for (;;) {
        int n = DbcsCharLength(text + len);
        if (n == 0 || len + n > max_len)
            return len;
        len += n;
    }
}

int DbcsCopyCut(char* dst, int dst_size, const char* src)
{
    int len = DbcsFitLength(src, dst_size - 1);
    memmove(dst, src, len);
    dst[len] = 0;
    return src[len] == 0;
}

const char* DbcsFindLastChar(const char* text, char c)
{
    const char* found = 0;
    for (int n; (n = DbcsCharLength(text)) != 0; text += n) {
        if (n == 1 && *text == c)
            found = text;
    }
    return found;
}
