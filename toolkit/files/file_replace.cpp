#include "toolkit/files/file_replace.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"
#include "toolkit/files/folder_walk.h"
#include "toolkit/system/os_version.h"
#include "toolkit/system/trace.h"

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

// What lies at a path, looked at without following it.
enum PathKind {
    PathMissing = 0,    // nothing: a write makes a new file
    PathPlainFile = 1,  // a file with one name, no link
    PathLink = 2,       // a reparse point: a symbolic link, junction or mount point
    PathHardLink = 3,   // a file with more than one name (a hard link)
    PathUnknown = 4,    // a folder, or what the system would not show
};

// Looks at path without following it: opened for no access (so that neither
// a holder's sharing nor a read-only bit stands in the way), the link itself
// and not what it points to (FILE_FLAG_OPEN_REPARSE_POINT, from Windows 2000
// on; NT 4 has hard links but no reparse points, and is not asked for the
// flag). Windows 95, 98 and Me have no links: there the attributes tell.
// Returns a PathKind and the attributes in *attributes
// (INVALID_FILE_ATTRIBUTES when missing).
static int LookAt(const char* path, DWORD* attributes)
{
    *attributes = GetFileAttributesA(path);
    if (*attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathMissing
                                                                                : PathUnknown;
    }
    if (*attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathUnknown;
    if (*attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return PathLink;
    if (IsWindows9x())
        return PathPlainFile;
    DWORD reparse = (GetVersion() & 0xFF) >= 5 ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, reparse | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return PathUnknown;
    BY_HANDLE_FILE_INFORMATION info;
    BOOL known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return PathUnknown;
    *attributes = info.dwFileAttributes;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return PathLink;
    return info.nNumberOfLinks > 1 ? PathHardLink : PathPlainFile;
}

// Clears the read-only bit of a file that this program has just written and
// that refused what was asked of it (Windows refuses writing and deleting a
// read-only file). Nothing but a plain read-only file with one name is
// touched: never a folder, a link or a file that is also reached by another
// name. Returns the attributes to put back, or 0 when nothing was changed.
static DWORD ClearReadOnly(const char* path)
{
    DWORD attributes;
    if (LookAt(path, &attributes) != PathPlainFile || !(attributes & FILE_ATTRIBUTE_READONLY))
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

// Copies src straight onto dst, as CopyFileA does, and flushes dst. CopyFileA
// writes into what a link at dst points to, so a target that is a link, or a
// file that has other names (a hard link, which may be a name of a file
// outside the installation), is not written: the copy fails with
// ERROR_ACCESS_DENIED and a trace line that gives the reason. So does a
// target that the system would not show.
static int CopyInPlace(const char* src, const char* dst, int fail_if_exists)
{
    DWORD attributes;
    int kind = LookAt(dst, &attributes);
    if (kind != PathMissing && kind != PathPlainFile) {
        TraceOut("%s: not copied in place: %s\n", dst,
                 kind == PathLink       ? "a link"
                 : kind == PathHardLink ? "a file with other names (a hard link)"
                                        : "cannot be examined");
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
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

typedef BOOL(WINAPI* MoveFileExFunction)(LPCSTR, LPCSTR, DWORD);

// MoveFileExA, looked up afresh on every use: Windows 95 does not implement
// it, and no documentation says that its kernel32 exports the name, so a
// static import could keep the program from starting there. Null where the
// system lacks it, and on Windows 95, 98 and Me, which are never asked.
static MoveFileExFunction FindMoveFileEx()
{
    HMODULE kernel = IsWindows9x() ? nullptr : GetModuleHandleA("kernel32.dll");
    return kernel ? (MoveFileExFunction)(void*)GetProcAddress(kernel, "MoveFileExA") : nullptr;
}

// Puts the temporary file temp, a fresh copy of src, in place of dst: flushes
// it, then moves it over dst in one step. A move refused with a sharing
// violation is tried again MoveTries times in all, MoveRetryMs apart: the
// file held may be the new temporary file itself, which a scanner or an
// indexer opens for a moment. Where the move still cannot be made because
// dst is held open, the temporary file is removed and src copied straight
// onto dst.
static int FlushAndMove(MoveFileExFunction move, const char* src, const char* temp,
                        const char* dst, int fail_if_exists)
{
    if (!FlushFile(temp)) {
        RemoveOwnTemp(temp);
        return 0;
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH | (fail_if_exists ? 0 : MOVEFILE_REPLACE_EXISTING);
    DWORD error;
    for (int tries = 1;; tries++) {
        if (move(temp, dst, flags))
            return 1;
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION || tries == MoveTries)
            break;
        Sleep(MoveRetryMs);
    }
    RemoveOwnTemp(temp);
    if (HeldOpen(dst, error))
        return CopyInPlace(src, dst, fail_if_exists);
    SetLastError(error);
    return 0;
}

// Tells whether a temporary copy that failed with error was refused at the
// name: something lies there that came since the name was cleared
// (ERROR_FILE_EXISTS), or a file that another program still holds is pending
// deletion there (DeleteFileA succeeded, the name stays until the handle is
// closed, and opening it fails with ERROR_ACCESS_DENIED or, where it is held
// without delete sharing, ERROR_SHARING_VIOLATION). The source refused for
// the same reasons gives the same codes: then every name is tried and the
// copy in place fails with the source's code.
static int NameTaken(DWORD error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
           error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
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
    // Windows 95, 98 and Me have no move over an existing file in one step:
    // each file is copied there once, straight onto its target.
    MoveFileExFunction move = FindMoveFileEx();
    char temp[WalkPathSize];
    if (!move || !TempPathOf(temp, sizeof temp, dst))
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
            return FlushAndMove(move, src, temp, dst, fail_if_exists);
        DWORD error = GetLastError();
        if (NameTaken(error))
            continue;
        // The source missing: the copy made nothing, and what may lie at the
        // name now is not this program's. Any other failure (the disk full, a
        // read error) came after the copy had begun writing its own file.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            RemoveOwnTemp(temp);
        SetLastError(error);
        return 0;
    }
    // Every name is taken by something that cannot be removed: the copy is
    // made as without a temporary file rather than failed.
    return CopyInPlace(src, dst, fail_if_exists);
}
