#include "maker/code_page_text.h"

#include <string.h>

// Converts len characters of text without best fit: a character that the
// code page lacks becomes its default character, which the round trip in
// ExactSpan tells from the original. Code pages that take no flags (UTF-8
// and the like) are converted plainly and judged by the same round trip.
static int Convert(UINT code_page, const WCHAR* text, int len, char* out, int out_size)
{
    int got = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text, len, out, out_size, 0, 0);
    if (got == 0 && GetLastError() == ERROR_INVALID_FLAGS)
        got = WideCharToMultiByte(code_page, 0, text, len, out, out_size, 0, 0);
    return got;
}

// Converts len characters (not -1) of text exactly into out. Returns the
// bytes written, or -1.
static int ExactSpan(UINT code_page, const WCHAR* text, int len, char* out, int out_size)
{
    if (len == 0)
        return 0;
    int got = Convert(code_page, text, len, out, out_size);
    if (got <= 0)
        return -1;
    WCHAR back[8];
    WCHAR* check = back;
    WCHAR* block = 0;
    if (len > (int)(sizeof back / sizeof back[0])) {
        block = (WCHAR*)HeapAlloc(GetProcessHeap(), 0, len * sizeof(WCHAR));
        if (!block)
            return -1;
        check = block;
    }
    int back_len = MultiByteToWideChar(code_page, 0, out, got, check, len);
    int same = back_len == len && memcmp(check, text, len * sizeof(WCHAR)) == 0;
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
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
