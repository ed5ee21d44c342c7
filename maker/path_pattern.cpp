#include "maker/path_pattern.h"

#include <wchar.h>

static WCHAR Upper(WCHAR c)
{
    // CharUpperW takes a single character in the low word of its argument.
    return (WCHAR)(ULONG_PTR)CharUpperW((LPWSTR)(ULONG_PTR)c);
}

int NamesCompare(const WCHAR* a, const WCHAR* b, int len)
{
    for (int at = 0; len < 0 || at < len; at++) {
        WCHAR x = a[at], y = b[at];
        if (x && y) {
            x = Upper(x);
            y = Upper(y);
        }
        if (x != y || x == 0)
            return (int)x - (int)y;
    }
    return 0;
}

int PathMatches(const WCHAR* pattern, const WCHAR* path)
{
    // Matched left to right; on a mismatch the latest "*" takes one more
    // character, unless that character is a backslash. Trying the latest
    // "*" alone is enough: an earlier one taking more would only move the
    // latest one's start further on, within the same name.
    const WCHAR* star = 0;
    const WCHAR* resume = 0;
    while (*path) {
        if (*pattern == L'*') {
            star = ++pattern;
            resume = path;
        } else if (*pattern &&
                   (*pattern == L'?' ? *path != L'\\' : Upper(*pattern) == Upper(*path))) {
            pattern++;
            path++;
        } else if (star && *resume != L'\\') {
            pattern = star;
            path = ++resume;
        } else {
            return 0;
        }
    }
    while (*pattern == L'*')
        pattern++;
    return *pattern == 0;
}

int PatternPrepare(WCHAR* pattern)
{
    int len = (int)wcslen(pattern);
    while (len > 0 && pattern[len - 1] == L'\\')
        pattern[--len] = 0;
    if (len >= 2 && pattern[0] == L'.' && pattern[1] == L'\\')
        wmemmove(pattern, pattern + 2, (len -= 2) + 1);
    return len > 0 && pattern[0] != L'\\' && !wcschr(pattern, L':') && !wcschr(pattern, L'/');
}
