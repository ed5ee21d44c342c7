#include "maker/code_page_text.h"

#include <string.h>

#include "maker/wide_path.h"

// Converts len characters (not -1) of text exactly into out. Returns the
// bytes written, or -1. Whatever the conversion does with a character that
// the code page lacks (a best-fit look-alike such as "e" for "é", or the
// default character), converting back does not give the character again.
static int ExactSpan(UINT code_page, const WCHAR* text, int len, char* out, int out_size)
{
    if (len == 0)
        return 0;
    int got = WideCharToMultiByte(code_page, 0, text, len, out, out_size, 0, 0);
    if (got <= 0)
        return -1;
    static WCHAR back[WidePathChars];
    if (len > WidePathChars)
        return -1;
    int back_len = MultiByteToWideChar(code_page, 0, out, got, back, len);
    int same = back_len == len && memcmp(back, text, len * sizeof(WCHAR)) == 0;
    return same ? got : -1;
}

int ToCodePageExact(UINT code_page, const WCHAR* text, char* out, int out_size)
{
    if (out_size < 1)
        return -1;
    int len = lstrlenW(text);
    int got = ExactSpan(code_page, text, len, out, out_size - 1);
    if (got < 0) {
        out[0] = 0;
        return -1;
    }
    out[got] = 0;
    return got;
}

int ToCodePageShown(UINT code_page, const WCHAR* text, int len, char* out, int out_size,
                    int* stand_ins)
{
    *stand_ins = 0;
    if (out_size < 1)
        return 0;
    int room = out_size - 1;
    // The whole text at once when it converts exactly (the usual case).
    int got = ExactSpan(code_page, text, len, out, room);
    if (got >= 0) {
        out[got] = 0;
        return got;
    }
    int used = 0;
    for (int at = 0; at < len;) {
        int step = 1;
        if (IS_HIGH_SURROGATE(text[at]) && at + 1 < len && IS_LOW_SURROGATE(text[at + 1]))
            step = 2;
        char one[16];
        int n = ExactSpan(code_page, text + at, step, one, sizeof one);
        if (n < 0) {
            one[0] = StandIn;
            n = 1;
            ++*stand_ins;
        }
        if (used + n > room)
            break;
        memcpy(out + used, one, n);
        used += n;
        at += step;
    }
    out[used] = 0;
    return used;
}
