// The platform names of windows.h beside this file, for the fuzz build only.
#include "windows.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    return flags & GMEM_ZEROINIT ? calloc(1, bytes) : malloc(bytes);
}

HGLOBAL GlobalFree(HGLOBAL block)
{
    free(block);
    return 0;
}

// The formatter's limit: 1,023 characters and the terminator.
static const int FormatLimit = 1024;

int wvsprintfA(char* out, const char* format, va_list args)
{
    // Formats into a buffer of its own and copies only what was written, so
    // that the sanitizer sees exactly the bytes that land in out.
    char buf[FormatLimit];
    int len = 0;
    for (const char* p = format; *p && len < FormatLimit - 1;) {
        if (*p != '%' || p[1] == '%') {
            buf[len++] = *p;
            p += *p == '%' ? 2 : 1;
            continue;
        }
        // One conversion: rebuilt from the parts of the dialect and handed to
        // the C library one at a time.
        char directive[32] = "%";
        int n = 1;
        for (++p; *p && strchr("-0#", *p) && n < 8; ++p)
            directive[n++] = *p;
        for (; *p >= '0' && *p <= '9' && n < 16; ++p)
            directive[n++] = *p;
        if (*p == '.')
            for (directive[n++] = *p++; *p >= '0' && *p <= '9' && n < 24; ++p)
                directive[n++] = *p;
        while (*p == 'l' || *p == 'h')
            ++p;
        char type = *p;
        if (!type)
            break;
        ++p;
        char piece[FormatLimit];
        int got;
        directive[n++] = type;
        directive[n] = 0;
        switch (type) {
        case 'd': case 'i': case 'c':
            got = snprintf(piece, sizeof piece, directive, va_arg(args, int));
            break;
        case 'u': case 'x': case 'X':
            got = snprintf(piece, sizeof piece, directive, va_arg(args, unsigned int));
            break;
        case 's': {
            const char* s = va_arg(args, const char*);
            got = snprintf(piece, sizeof piece, directive, s ? s : "(null)");
            break;
        }
        default:
            piece[0] = type;
            got = 1;
        }
        if (got < 0)
            got = 0;
        if (got > (int)sizeof piece - 1)
            got = (int)sizeof piece - 1;
        if (got > FormatLimit - 1 - len)
            got = FormatLimit - 1 - len;
        memcpy(buf + len, piece, got);
        len += got;
    }
    buf[len] = 0;
    memcpy(out, buf, len + 1);
    return len;
}

int wsprintfA(char* out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int len = wvsprintfA(out, format, args);
    va_end(args);
    return len;
}
