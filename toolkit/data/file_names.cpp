#include "toolkit/data/file_names.h"

#include <stdarg.h>
#include <string.h>

#include <windows.h>

#include "toolkit/data/dbcs_text.h"

// The last "\" of text that counts as a separator: not in the first byte, and
// never the second byte of a two-byte character. Null when there is none.
static const char* LastSeparator(const char* text)
{
    const char* sep = DbcsFindLastChar(text, '\\');
    return sep && sep != text ? sep : 0;
}

const char* FindExtension(const char* text)
{
    // The name starts behind the separator that FindFileName finds, so that
    // both agree on what a name is. Only the first byte of the whole text is
    // never a dot that counts: "C:\x\.cfg" has the extension "cfg".
    const char* sep = LastSeparator(text);
    const char* name = sep ? sep + 1 : text;
    const char* dot = DbcsFindLastChar(name, '.');
    return dot && dot != text ? dot + 1 : 0;
}

const char* FindFileName(const char* text)
{
    const char* sep = LastSeparator(text);
    return sep ? sep + 1 : 0;
}

// Copies src with its terminator into dst unless it is dst itself; memmove
// because a caller may hand in a text that overlaps the destination.
static void CopyIn(char* dst, const char* src)
{
    if (src && src != dst)
        memmove(dst, src, strlen(src) + 1);
}

char* ReplaceExtension(char* dst, const char* src, const char* ext)
{
    CopyIn(dst, src);
    const char* found = FindExtension(dst);
    if (!found)
        return 0;
    if (!ext)
        ext = "";
    memmove(dst + (found - dst), ext, strlen(ext) + 1);
    return dst;
}

char* CutFileName(char* buf, const char* src)
{
    if (!buf)
        return 0;
    CopyIn(buf, src);
    const char* sep = LastSeparator(buf);
    if (!sep)
        return 0;
    buf[sep - buf] = 0;
    return buf;
}

// Copies the len bytes at src, which end on a character boundary, into dst of
// dst_size bytes, cut on a character boundary when they do not fit.
static void CopyField(char* dst, int dst_size, const char* src, int len)
{
    len = DbcsFitLength(src, len < dst_size - 1 ? len : dst_size - 1);
    memcpy(dst, src, len);
    dst[len] = 0;
}

// Writes first and second one after another into dst of dst_size bytes, cut
// on a character boundary.
static void JoinField(char* dst, int dst_size, const char* first, const char* second)
{
    DbcsCopyCut(dst, dst_size, first);
    int used = (int)strlen(dst);
    DbcsCopyCut(dst + used, dst_size - used, second);
}

// Splits path by the rules of the C library's _splitpath, but with this
// toolkit's character rule and cuts instead of the runtime's.
static void SplitPath(FileInfo* info, const char* path)
{
    const char* p = path;
    const char* drive_end = path;
    if (DbcsCharLength(p) == 1 && p[1] == ':')
        drive_end = p + 2;
    const char* name = drive_end;  // behind the last separator
    const char* dot = 0;           // last dot of the name
    for (p = drive_end; *p;) {
        int n = DbcsCharLength(p);
        if (n == 0)
            n = 1;  // half a character at the end belongs to the name
        if (n == 1 && (*p == '\\' || *p == '/')) {
            name = p + 1;
            dot = 0;
        } else if (n == 1 && *p == '.') {
            dot = p;
        }
        p += n;
    }
    const char* end = p;
    const char* name_end = dot ? dot : end;
    CopyField(info->drive, sizeof info->drive, path, (int)(drive_end - path));
    CopyField(info->dir, sizeof info->dir, drive_end, (int)(name - drive_end));
    CopyField(info->fname, sizeof info->fname, name, (int)(name_end - name));
    CopyField(info->ext, sizeof info->ext, name_end, (int)(end - name_end));
    JoinField(info->folder, sizeof info->folder, info->drive, info->dir);
    JoinField(info->file_name, sizeof info->file_name, info->fname, info->ext);
}

FileInfo SplitFormattedPath(FileInfo* info, const char* format, ...)
{
    char buf[1024] = "";
    if (format) {
        va_list args;
        va_start(args, format);
        wvsprintfA(buf, format, args);
        va_end(args);
        // The formatter cuts at 1,023 bytes by position; never keep half of
        // a two-byte character.
        buf[DbcsFitLength(buf, sizeof buf - 1)] = 0;
    }
    // Without a caller's record the split goes to one on this stack, so that
    // no two threads ever share one.
    FileInfo workFileInfo = {};
    if (!info)
        info = &workFileInfo;
    SplitPath(info, buf);
    return *info;
}
