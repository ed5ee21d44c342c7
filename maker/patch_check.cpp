#include "maker/patch_check.h"

#include <string.h>
#include <wchar.h>

#include "maker/code_page_text.h"
#include "maker/console_out.h"
#include "maker/tree_listing.h"
#include "maker/wide_path.h"
#include "toolkit/files/folder_walk.h"

const WCHAR DefaultInstallDir[] = L"C:\\Program Files (x86)\\Pelto\\Kivari Quilmar";

// The updater's code page: every name and path it handles is code page 932.
static const UINT UpdaterCodePage = 932;

// What the updater puts before a path in the patch ("patch\"), after the
// unpack folder's own backslash, and after a folder's path to list it.
static const int PatchFolderChars = 6;
static const int ListingPatternChars = 4;

static WidePath CheckPath;
static WCHAR Longest[WidePathChars];

// Paths too long for Windows 95, 98 and Me alone. Their ANSI calls are
// their only calls, and they count the same limits in bytes, where a
// two-byte character of code page 932 counts twice.
struct ByteOverrun {
    int count;  // paths over their limit
    int bytes;  // the longest of them: its bytes, its limit, its path in the patch
    int limit;
    int is_folder;
    WCHAR path[WidePathChars];
};
static ByteOverrun InstallOverrun, UnpackOverrun;

struct CheckRun {
    int install_chars;  // characters of the installation folder
    int unpack_chars;   // characters of the unpack folder; 0 when none was given
    int install_bytes;  // the same two in bytes
    int unpack_bytes;
    int path_bytes;     // bytes of the path of the entry that CheckPath names, in the patch
    int findings;
    CheckResult* result;
};

// Prints the finding for the entry that CheckPath names; reason is ASCII.
static void Report(CheckRun* run, const char* reason, int is_folder)
{
    OutWillFail(WidePathRelative(&CheckPath), is_folder, reason);
    run->findings++;
}

// Characters of the path by which the updater reads the entry that
// CheckPath names, relative to the unpack folder: "patch\<path>" for a file,
// "patch\<path>\*.*" for a folder, which it lists ("patch\*.*" at the root).
static int ReadChars(int is_folder)
{
    int rel = (int)wcslen(WidePathRelative(&CheckPath));
    int chars = rel > 0 ? PatchFolderChars + rel : PatchFolderChars - 1;
    return chars + (is_folder ? ListingPatternChars : 0);
}

// The same path's bytes in code page 932.
static int ReadBytes(CheckRun* run, int is_folder)
{
    int rel = run->path_bytes;
    int bytes = rel > 0 ? PatchFolderChars + rel : PatchFolderChars - 1;
    return bytes + (is_folder ? ListingPatternChars : 0);
}

// Keeps the entry that CheckPath names as the longest read when it is, in
// characters and, apart, in bytes.
static void KeepLongest(CheckRun* run, int is_folder)
{
    int bytes = ReadBytes(run, is_folder);
    if (bytes > run->result->longest_bytes)
        run->result->longest_bytes = bytes;
    int chars = ReadChars(is_folder);
    if (chars <= run->result->longest_chars)
        return;
    lstrcpyW(Longest, WidePathRelative(&CheckPath));
    run->result->longest_is_folder = is_folder;
    run->result->longest_chars = chars;
}

// Counts the entry that CheckPath names in over when its path takes more
// than limit bytes.
static void CountOverrun(ByteOverrun* over, int bytes, int limit, int is_folder)
{
    if (bytes <= limit)
        return;
    over->count++;
    if (bytes <= over->bytes)
        return;
    over->bytes = bytes;
    over->limit = limit;
    over->is_folder = is_folder;
    lstrcpyW(over->path, WidePathRelative(&CheckPath));
}

// Prints the one line for the paths in over, if any: the longest of them.
static void ReportOverrun(CheckRun* run, const ByteOverrun* over, const char* where)
{
    if (over->count == 0)
        return;
    char reason[512];
    int len = wsprintfA(reason, "on Windows 95, 98 and Me: the path %s takes %d bytes in code "
                                "page 932, which those count, at most %d fit",
                        where, over->bytes, over->limit);
    if (over->count > 1)
        wsprintfA(reason + len, "; the longest of %d such paths", over->count);
    OutWillFail(over->path, over->is_folder, reason);
    run->findings++;
}

// The reason why the ANSI calls cannot reach a file or folder named name,
// written into reason; null when they can.
static const char* UnreachableName(const WCHAR* name, char* reason)
{
    int len = (int)wcslen(name);
    if (len > 0 && (name[len - 1] == L'.' || name[len - 1] == L' ')) {
        wsprintfA(reason, "the name ends in %s, which the ANSI calls drop from every name",
                  name[len - 1] == L'.' ? "a dot" : "a space");
        return reason;
    }
    // A device is named by the part before the first dot, spaces at its end
    // dropped, whatever extension follows.
    int base = 0;
    while (base < len && name[base] != L'.')
        base++;
    while (base > 0 && name[base - 1] == L' ')
        base--;
    if (base == 3 || base == 4) {
        char device[5];
        int ascii = 1;
        for (int i = 0; i < base; i++) {
            WCHAR c = name[i];
            ascii &= c < 0x80;
            device[i] = (char)(c >= L'a' && c <= L'z' ? c - L'a' + 'A' : c);
        }
        device[base] = 0;
        char kind[5];
        memcpy(kind, device, sizeof kind);
        if (base == 4 && kind[3] >= '1' && kind[3] <= '9')
            kind[3] = '#';  // COM1 to COM9, LPT1 to LPT9
        static const char* const Devices[] = {"CON", "PRN", "AUX", "NUL", "COM#", "LPT#"};
        for (const char* known : Devices) {
            if (ascii && strcmp(kind, known) == 0) {
                wsprintfA(reason, "%s is a device name (with any extension), which the ANSI calls "
                                  "take for the device", device);
                return reason;
            }
        }
    }
    // The updater's temporary names end in ".~upd" or ".~up1" to ".~up9".
    static const WCHAR Temporary[] = L".~up";
    const int temporary_chars = 5;
    if (len >= temporary_chars && _wcsnicmp(name + len - temporary_chars, Temporary, 4) == 0) {
        WCHAR last = name[len - 1];
        if (last == L'd' || last == L'D' || (last >= L'1' && last <= L'9')) {
            lstrcpyA(reason, "the name ends in .~upd or .~up1 to .~up9, the forms of the updater's "
                             "temporary files, which the copy of another file may take for its own "
                             "and remove");
            return reason;
        }
    }
    return 0;
}

// Reports the first thing that makes the entry that CheckPath names fail.
// Returns 1 when something was reported.
static int CheckEntry(CheckRun* run, const WIN32_FIND_DATAW* entry, int is_folder)
{
    char reason[512];
    char why[256];
    const char* whole = is_folder ? " (the folder and everything in it)" : "";
    if (ListingIsReparsePoint(entry)) {
        wsprintfA(reason,
                  is_folder ? "a link or other reparse point, never followed by the updater%s"
                            : "a link or other reparse point, whose copy would follow it on the "
                              "user's machine%s",
                  whole);
        Report(run, reason, is_folder);
        return 1;
    }
    char name[1024];
    int name_bytes = ToCodePageExact(UpdaterCodePage, entry->cFileName, name, sizeof name);
    run->path_bytes += (run->path_bytes > 0) + name_bytes;
    if (name_bytes < 0) {
        wsprintfA(reason, "the name cannot be written in code page 932%s", whole);
        Report(run, reason, is_folder);
        return 1;
    }
    if (name_bytes > MaxNameBytes) {
        wsprintfA(reason, "the name takes %d bytes in code page 932, at most %d fit%s", name_bytes,
                  MaxNameBytes, whole);
        Report(run, reason, is_folder);
        return 1;
    }
    if (UnreachableName(entry->cFileName, why)) {
        wsprintfA(reason, "%s%s", why, whole);
        Report(run, reason, is_folder);
        return 1;
    }
    int chars = run->install_chars + 1 + (int)wcslen(WidePathRelative(&CheckPath));
    int limit = is_folder ? MaxFolderPathChars : MaxFilePathChars;
    if (chars > limit) {
        wsprintfA(reason, "the path under the installation folder is %d characters, at most %d fit%s",
                  chars, limit, whole);
        Report(run, reason, is_folder);
        return 1;
    }
    chars = run->unpack_chars + 1 + ReadChars(is_folder);
    if (run->unpack_chars > 0 && chars > MaxFilePathChars) {
        wsprintfA(reason, "the path read from the unpack folder is %d characters, at most %d fit%s",
                  chars, MaxFilePathChars, whole);
        Report(run, reason, is_folder);
        return 1;
    }
    // A patch made by hand may hold what the make never writes.
    if (!is_folder && (entry->dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
        Report(run, "read-only, which the update's copy keeps, and a read-only installed file "
                    "refuses the next update", 0);
        return 1;
    }
    CountOverrun(&InstallOverrun, run->install_bytes + 1 + run->path_bytes, limit, is_folder);
    if (run->unpack_bytes > 0)
        CountOverrun(&UnpackOverrun, run->unpack_bytes + 1 + ReadBytes(run, is_folder),
                     MaxFilePathChars, is_folder);
    return 0;
}

// Checks every entry below the folder that CheckPath names. Returns 1; 0
// when a folder cannot be listed (message printed).
static int CheckFolder(CheckRun* run)
{
    TreeListing listing;
    int rc = ListingOpen(&CheckPath, &listing);
    int len = CheckPath.len, folder_bytes = run->path_bytes;
    for (; rc == 1; rc = ListingNext(&listing)) {
        if (!WidePathPush(&CheckPath, listing.entry.cFileName)) {
            ListingClose(&listing);
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            rc = -1;
            break;
        }
        int is_folder = (listing.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!CheckEntry(run, &listing.entry, is_folder)) {
            KeepLongest(run, is_folder);
            if (ListingKind(&listing.entry) == WalkFolder) {
                if (!CheckFolder(run)) {
                    ListingClose(&listing);
                    return 0;
                }
            } else {
                run->result->files++;
            }
        }
        WidePathCut(&CheckPath, len);
        run->path_bytes = folder_bytes;
    }
    if (rc < 0) {
        OutFailure("cannot list", WidePathShown(&CheckPath), GetLastError());
        return 0;
    }
    return 1;
}

// Makes sure that dir, a folder on the user's machine, is one the updater
// can use (see CheckFoldersUsable). Returns its length in characters
// without trailing backslashes, and in bytes in *bytes when bytes is given;
// 0 after a message.
static int UsableFolder(const WCHAR* dir, const char* what, int* bytes = 0)
{
    int chars = (int)wcslen(dir);
    while (chars > 0 && dir[chars - 1] == L'\\')
        chars--;
    int drive = ((dir[0] | 0x20) >= L'a' && (dir[0] | 0x20) <= L'z') && dir[1] == L':' &&
                dir[2] == L'\\';
    int share = dir[0] == L'\\' && dir[1] == L'\\' && dir[2] && dir[2] != L'\\';
    if (chars == 0 || !(drive || share)) {
        OutAscii(OutErr, "makepatch: the %s must be a full path, such as C:\\Product: ", what);
        OutName(OutErr, dir);
        OutAscii(OutErr, "\r\n");
        return 0;
    }
    char ansi[WalkPathSize];
    int ansi_bytes = ToCodePageExact(UpdaterCodePage, dir, ansi, sizeof ansi);
    if (ansi_bytes < 0) {
        OutAscii(OutErr, "makepatch: the %s cannot be written in code page 932 within 1,023 "
                         "bytes, so the updater cannot use it\r\n", what);
        return 0;
    }
    if (bytes)
        *bytes = ansi_bytes - ((int)wcslen(dir) - chars);  // a backslash is one byte
    return chars;
}

int CheckFoldersUsable(const WCHAR* install_dir, const WCHAR* unpack_dir)
{
    return UsableFolder(install_dir, "installation folder") > 0 &&
           (!unpack_dir || UsableFolder(unpack_dir, "unpack folder") > 0);
}

int CheckPatch(const WCHAR* patch_root, const WCHAR* install_dir, const WCHAR* unpack_dir,
               CheckResult* result)
{
    memset(result, 0, sizeof *result);
    CheckRun run = {};
    run.result = result;
    if (!CheckFoldersUsable(install_dir, unpack_dir))
        return -1;
    run.install_chars = UsableFolder(install_dir, "installation folder", &run.install_bytes);
    run.unpack_chars =
        unpack_dir ? UsableFolder(unpack_dir, "unpack folder", &run.unpack_bytes) : 0;
    memset(&InstallOverrun, 0, sizeof InstallOverrun);
    memset(&UnpackOverrun, 0, sizeof UnpackOverrun);
    if (!WidePathSetRoot(&CheckPath, patch_root)) {
        OutProblem("cannot use the folder ", patch_root);
        return -1;
    }
    DWORD attributes = WidePathAttributes(&CheckPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
        OutFailure("no folder", WidePathShown(&CheckPath), error);
        return -1;
    }
    // The patch folder itself is listed first: "patch\*.*".
    KeepLongest(&run, 1);
    result->longest = Longest;
    int root_chars = run.unpack_chars + 1 + result->longest_chars;
    if (run.unpack_chars > 0 && root_chars > MaxFilePathChars) {
        OutAscii(OutStd, "will fail: the unpack folder is too long: the patch is listed by %d "
                         "characters from it, at most %d fit\r\n", root_chars, MaxFilePathChars);
        run.findings++;
    } else {
        if (!CheckFolder(&run))
            return -1;
        ReportOverrun(&run, &InstallOverrun, "under the installation folder");
        ReportOverrun(&run, &UnpackOverrun, "read from the unpack folder");
        if (result->files == 0) {
            OutAscii(OutStd, "will fail: the patch holds no file that the updater would copy\r\n");
            run.findings++;
        }
    }
    // "<folder>\" and the longest path must fit in 259 characters, and on
    // Windows 95, 98 and Me in 259 bytes.
    result->unpack_chars = MaxFilePathChars - 1 - result->longest_chars;
    result->unpack_bytes = MaxFilePathChars - 1 - result->longest_bytes;
    return run.findings;
}
