#include "maker/wide_path.h"

#include <string.h>
#include <wchar.h>

static const WCHAR LongPrefix[] = L"\\\\?\\";
static const WCHAR LongUncPrefix[] = L"\\\\?\\UNC\\";

int WidePathSetRoot(WidePath* path, const WCHAR* arg)
{
    static WCHAR full[WidePathChars];
    path->text[0] = 0;
    path->len = path->root_len = path->prefix_len = 0;
    if (!arg || !arg[0])
        return 0;
    DWORD got = GetFullPathNameW(arg, WidePathChars, full, 0);
    if (got == 0 || got >= (DWORD)WidePathChars)
        return 0;
    int len = (int)got;
    // "C:\" keeps nothing but "C:"; the joins below add the backslash back.
    while (len > 0 && full[len - 1] == L'\\')
        len--;
    full[len] = 0;
    const WCHAR* rest = full;
    const WCHAR* prefix = LongPrefix;
    if (wcsncmp(full, LongPrefix, 4) == 0) {
        prefix = L"";  // already prefixed: taken as it stands
    } else if (full[0] == L'\\' && full[1] == L'\\') {
        prefix = LongUncPrefix;  // "\\server\share" becomes "\\?\UNC\server\share"
        rest = full + 2;
    }
    int prefix_len = (int)wcslen(prefix);
    int rest_len = len - (int)(rest - full);
    if (rest_len <= 0 || prefix_len + rest_len >= WidePathChars)
        return 0;
    memcpy(path->text, prefix, prefix_len * sizeof(WCHAR));
    memcpy(path->text + prefix_len, rest, (rest_len + 1) * sizeof(WCHAR));
    path->len = path->root_len = prefix_len + rest_len;
    path->prefix_len = prefix_len;
    return 1;
}

int WidePathPush(WidePath* path, const WCHAR* name)
{
    int name_len = (int)wcslen(name);
    if (path->len + 1 + name_len >= WidePathChars)
        return 0;
    path->text[path->len] = L'\\';
    memcpy(path->text + path->len + 1, name, (name_len + 1) * sizeof(WCHAR));
    path->len += 1 + name_len;
    return 1;
}

void WidePathCut(WidePath* path, int len)
{
    path->len = len;
    path->text[len] = 0;
}

const WCHAR* WidePathRelative(const WidePath* path)
{
    return path->len > path->root_len ? path->text + path->root_len + 1 : L"";
}

const WCHAR* WidePathShown(const WidePath* path)
{
    static WCHAR shown[WidePathChars];
    const WCHAR* from = path->text + path->prefix_len;
    int at = 0;
    if (path->prefix_len == (int)wcslen(LongUncPrefix)) {
        shown[at++] = L'\\';  // "\\?\UNC\server" is shown as "\\server"
        shown[at++] = L'\\';
    }
    while (*from && at < WidePathChars - 1)
        shown[at++] = *from++;
    shown[at] = 0;
    return shown;
}

DWORD WidePathAttributes(WidePath* path)
{
    int len = path->len;
    if (len > 0 && path->text[len - 1] == L':' && len + 1 < WidePathChars) {
        path->text[len] = L'\\';
        path->text[len + 1] = 0;
        DWORD attributes = GetFileAttributesW(path->text);
        path->text[len] = 0;
        return attributes;
    }
    return GetFileAttributesW(path->text);
}

int WidePathCreateFolders(WidePath* path, int with_last)
{
    for (int at = path->root_len + 1; at <= path->len; at++) {
        if (at < path->len && path->text[at] != L'\\')
            continue;
        if (at == path->len && !with_last)
            break;
        WCHAR kept = path->text[at];
        path->text[at] = 0;
        BOOL made = CreateDirectoryW(path->text, 0);
        DWORD error = made ? 0 : GetLastError();
        if (!made && error == ERROR_ALREADY_EXISTS) {
            // Only a folder of that name will do; a file in its place will not.
            DWORD attributes = GetFileAttributesW(path->text);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                made = TRUE;
        }
        path->text[at] = kept;
        if (!made) {
            SetLastError(error);
            return 0;
        }
    }
    return 1;
}
