#include "toolkit/files/file_replace.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"
#include "toolkit/files/folder_walk.h"

// The longest path that the platform's ANSI file calls take, in characters:
// MAX_PATH with its terminator.
const int AnsiPathChars = MAX_PATH - 1;
// The longest name of one file, in characters, on NTFS and FAT with long names.
const int NameChars = 255;

// The attribute bits that SetFileAttributesA takes besides read-only.
const DWORD SettableBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Counts the characters of text, a two-byte character as one.
static int CharCount(const char* text)
{
    int count = 0;
    for (int n; (n = DbcsCharLength(text)) != 0; text += n)
        count++;
    return count;
}

// Writes the first temporary path of dst into temp, which holds size bytes.
// Returns 1 when it fits the buffer and the platform's limits, else 0. Every
// other temporary name has the same length, so it fits as well.
static int TempPathOf(char* temp, int size, const char* dst)
{
    if (!ConcatPath(temp, size, dst, ReplaceSuffix, ""))
        return 0;
    const char* slash = DbcsFindLastChar(temp, '\\');
    const char* name = slash ? slash + 1 : temp;
    return CharCount(temp) <= AnsiPathChars && CharCount(name) <= NameChars;
}

// Turns the temporary path in temp into its index-th form: 0 ends it in
// ".~upd", 1 to 9 in ".~up1" to ".~up9".
static void NameTemp(char* temp, int index)
{
    size_t len = strlen(temp);
    temp[len - 1] = index ? (char)('0' + index) : ReplaceSuffix[sizeof ReplaceSuffix - 2];
}

// Clears the read-only bit of a file that this program has just written and
// that refused what was asked of it (Windows refuses writing and deleting a
// read-only file). Nothing but a plain read-only file is touched: never a
// folder, never a link. Returns the attributes to put back, or 0 when
// nothing was changed.
static DWORD ClearReadOnly(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return 0;
    // Zero would leave the attributes as they are: FILE_ATTRIBUTE_NORMAL stands for none.
    DWORD writable = attributes & SettableBits;
    if (!SetFileAttributesA(path, writable ? writable : FILE_ATTRIBUTE_NORMAL))
        return 0;
    return (attributes & SettableBits) | FILE_ATTRIBUTE_READONLY;
}

static HANDLE OpenForFlush(const char* path)
{
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Has the system write path's data to the disk (FlushFileBuffers), so that a
// power loss after a later move cannot leave the moved name without its
// data. A read-only file, which refuses being opened for writing, has its
// read-only bit cleared for the flush and set again. Returns nonzero on
// success; 0 with the reason in GetLastError().
static int FlushFile(const char* path)
{
    DWORD restore = 0;
    HANDLE file = OpenForFlush(path);
    DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE && error == ERROR_ACCESS_DENIED &&
        (restore = ClearReadOnly(path)) != 0) {
        file = OpenForFlush(path);
        error = GetLastError();
    }
    int flushed = 0;
    if (file != INVALID_HANDLE_VALUE) {
        flushed = FlushFileBuffers(file);
        error = GetLastError();
        CloseHandle(file);
    }
    if (restore)
        SetFileAttributesA(path, restore);
    SetLastError(error);
    return flushed;
}

// Removes a temporary file that this program has just written, read-only or
// not (a copy of a read-only source is read-only itself), keeping the
// caller's error code.
static void RemoveOwnTemp(const char* temp)
{
    DWORD error = GetLastError();
    if (!DeleteFileA(temp) && GetLastError() == ERROR_ACCESS_DENIED && ClearReadOnly(temp))
        DeleteFileA(temp);
    SetLastError(error);
}

// Removes whatever lies at a temporary name with DeleteFileA alone: a file
// or a link goes (on Windows a link itself, never what it points to); it is
// never opened and its attributes are never changed, so a read-only file, a
// folder or a file held open stays. Returns 1 when the name is free
// afterwards, 0 when something stays there.
static int ClearTempName(const char* temp)
{
    if (DeleteFileA(temp))
        return 1;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Copies src straight onto dst, as CopyFileA does, and flushes dst.
static int CopyInPlace(const char* src, const char* dst, int fail_if_exists)
{
    return CopyFileA(src, dst, fail_if_exists) && FlushFile(dst);
}

// Tells whether a refused move over dst, with error, means that another
// program holds dst open: a sharing violation, or access denied on a target
// that is neither read-only nor a folder.
static int HeldOpen(const char* dst, DWORD error)
{
    if (error == ERROR_SHARING_VIOLATION)
        return 1;
    if (error != ERROR_ACCESS_DENIED)
        return 0;
    DWORD attributes = GetFileAttributesA(dst);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
}

// Puts the temporary file temp, a fresh copy of src, in place of dst: flushes
// it, then moves it over dst in one step. Where the move cannot be made (no
// MoveFileExA, dst held open) the temporary file is removed and src copied
// straight onto dst.
static int FlushAndMove(const char* src, const char* temp, const char* dst, int fail_if_exists)
{
    if (!FlushFile(temp)) {
        RemoveOwnTemp(temp);
        return 0;
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH | (fail_if_exists ? 0 : MOVEFILE_REPLACE_EXISTING);
    if (MoveFileExA(temp, dst, flags))
        return 1;
    DWORD error = GetLastError();
    RemoveOwnTemp(temp);
    // Windows 95, 98 and Me have no move over an existing file in one step.
    if (error == ERROR_CALL_NOT_IMPLEMENTED || HeldOpen(dst, error))
        return CopyInPlace(src, dst, fail_if_exists);
    SetLastError(error);
    return 0;
}

int FileCopyReplace(const char* src, const char* dst, int fail_if_exists)
{
    DWORD attributes = GetFileAttributesA(dst);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (fail_if_exists) {
            SetLastError(ERROR_FILE_EXISTS);
            return 0;
        }
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    char temp[WalkPathSize];
    if (!TempPathOf(temp, sizeof temp, dst))
        return CopyInPlace(src, dst, fail_if_exists);

    // Every name of the form is cleared, not only the first: a copy cut short
    // while an earlier name was taken left its file at a later one.
    int free_name[ReplaceNames];
    for (int i = 0; i < ReplaceNames; i++) {
        NameTemp(temp, i);
        free_name[i] = ClearTempName(temp);
    }
    for (int i = 0; i < ReplaceNames; i++) {
        if (!free_name[i])
            continue;
        NameTemp(temp, i);
        // Fails if anything lies at the name, so that nothing found there is
        // ever written: something that came since it was cleared is passed by.
        if (CopyFileA(src, temp, TRUE))
            return FlushAndMove(src, temp, dst, fail_if_exists);
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            RemoveOwnTemp(temp);  // a part may have been written
            return 0;
        }
    }
    // Every name is taken by something that cannot be removed: the copy is
    // made as without a temporary file rather than failed.
    return CopyInPlace(src, dst, fail_if_exists);
}
