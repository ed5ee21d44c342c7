#include "maker/patch_check.h"

#include <wchar.h>

#include "maker/code_page_text.h"
#include "maker/console_out.h"
#include "maker/tree_listing.h"
#include "maker/wide_path.h"
#include "toolkit/files/folder_walk.h"

const WCHAR DefaultInstallDir[] = L"C:\\Program Files (x86)\\Pelto\\Kivari Quilmar";

// The updater's code page: every name and path it handles is code page 932.
static const UINT UpdaterCodePage = 932;

static WidePath CheckPath;

struct CheckRun {
    int install_chars;  // characters of the installation folder
    int findings;
    int files;
};

// Prints the finding for the entry that CheckPath names; reason is ASCII.
static void Report(CheckRun* run, const char* reason, int is_folder)
{
    OutWillFail(WidePathRelative(&CheckPath), is_folder, reason);
    run->findings++;
}

// Reports the first thing that makes the entry that CheckPath names fail.
// Returns 1 when something was reported.
static int CheckEntry(CheckRun* run, const WIN32_FIND_DATAW* entry, int is_folder)
{
    char reason[256];
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
    int chars = run->install_chars + 1 + (int)wcslen(WidePathRelative(&CheckPath));
    int limit = is_folder ? MaxFolderPathChars : MaxFilePathChars;
    if (chars > limit) {
        wsprintfA(reason, "the path under the installation folder is %d characters, at most %d fit%s",
                  chars, limit, whole);
        Report(run, reason, is_folder);
        return 1;
    }
    return 0;
}

// Checks every entry below the folder that CheckPath names. Returns 1; 0
// when a folder cannot be listed (message printed).
static int CheckFolder(CheckRun* run)
{
    TreeListing listing;
    int rc = ListingOpen(&CheckPath, &listing);
    int len = CheckPath.len;
    for (; rc == 1; rc = ListingNext(&listing)) {
        if (!WidePathPush(&CheckPath, listing.entry.cFileName)) {
            ListingClose(&listing);
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            rc = -1;
            break;
        }
        int is_folder = (listing.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!CheckEntry(run, &listing.entry, is_folder)) {
            if (ListingKind(&listing.entry) == WalkFolder) {
                if (!CheckFolder(run)) {
                    ListingClose(&listing);
                    return 0;
                }
            } else {
                run->files++;
            }
        }
        WidePathCut(&CheckPath, len);
    }
    if (rc < 0) {
        OutFailure("cannot list", WidePathShown(&CheckPath), GetLastError());
        return 0;
    }
    return 1;
}

int CheckPatch(const WCHAR* patch_root, const WCHAR* install_dir, int* files)
{
    *files = 0;
    // The updater joins names to the folder after a backslash of its own.
    int install_chars = (int)wcslen(install_dir);
    while (install_chars > 0 && install_dir[install_chars - 1] == L'\\')
        install_chars--;
    if (install_chars == 0) {
        OutAscii(OutErr, "makepatch: the installation folder is empty\r\n");
        return -1;
    }
    char ansi[WalkPathSize];
    if (ToCodePageExact(UpdaterCodePage, install_dir, ansi, sizeof ansi) < 0) {
        OutAscii(OutErr, "makepatch: the installation folder cannot be written in code page 932 "
                         "within 1,023 bytes, so the updater cannot use it\r\n");
        return -1;
    }
    if (!WidePathSetRoot(&CheckPath, patch_root)) {
        OutAscii(OutErr, "makepatch: cannot use the folder ");
        OutName(OutErr, patch_root);
        OutAscii(OutErr, "\r\n");
        return -1;
    }
    DWORD attributes = WidePathAttributes(&CheckPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
        OutFailure("no folder", WidePathShown(&CheckPath), error);
        return -1;
    }
    CheckRun run = {install_chars, 0, 0};
    if (!CheckFolder(&run))
        return -1;
    if (run.files == 0) {
        OutAscii(OutStd, "will fail: the patch holds no file that the updater would copy\r\n");
        run.findings++;
    }
    *files = run.files;
    return run.findings;
}
