#include "maker/patch_maker.h"

#include <string.h>

#include "maker/console_out.h"
#include "maker/file_compare.h"
#include "maker/tree_listing.h"
#include "maker/tree_remove.h"
#include "maker/wide_path.h"
#include "toolkit/files/folder_walk.h"

// The three trees, walked in step: the same relative path below each root.
static WidePath OldPath, NewPath, PatchPath;

static int PushAll(const WCHAR* name)
{
    int old_len = OldPath.len, new_len = NewPath.len;
    if (WidePathPush(&OldPath, name)) {
        if (WidePathPush(&NewPath, name)) {
            if (WidePathPush(&PatchPath, name))
                return 1;
            WidePathCut(&NewPath, new_len);
        }
        WidePathCut(&OldPath, old_len);
    }
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
}

static void CutAll(int old_len, int new_len, int patch_len)
{
    WidePathCut(&OldPath, old_len);
    WidePathCut(&NewPath, new_len);
    WidePathCut(&PatchPath, patch_len);
}

static void PrintEntry(const char* label, int is_folder)
{
    OutAscii(OutStd, "%s", label);
    OutName(OutStd, WidePathRelative(&NewPath));
    OutAscii(OutStd, "%s\r\n", is_folder ? "\\" : "");
}

static void PrintWillFail(const char* reason, int is_folder)
{
    OutWillFail(WidePathRelative(&NewPath), is_folder, reason);
}

// Writes the file that NewPath names to PatchPath. Returns 1; 0 after a
// message.
static int WritePatchFile(MakeCounts* counts, int changed)
{
    if (!WidePathCreateFolders(&PatchPath, 0)) {
        OutFailure("cannot create the folder for", WidePathShown(&PatchPath), GetLastError());
        return 0;
    }
    if (!CopyFileW(NewPath.text, PatchPath.text, TRUE)) {
        DWORD error = GetLastError();
        // Tell the side that failed: a source that cannot be read is the usual case.
        HANDLE file = CreateFileW(NewPath.text, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, 0);
        if (file == INVALID_HANDLE_VALUE) {
            OutFailure("cannot read", WidePathShown(&NewPath), GetLastError());
            return 0;
        }
        CloseHandle(file);
        OutFailure("cannot write", WidePathShown(&PatchPath), error);
        return 0;
    }
    PrintEntry(changed ? "changed " : "new     ", 0);
    if (changed)
        counts->changed_files++;
    else
        counts->new_files++;
    return 1;
}

// What the old installation has where OldPath points.
enum OldEntry {
    OldUnreadable = -1,  // cannot be asked (message printed)
    OldMissing = 0,
    OldFile = 1,
    OldFolder = 2,
};

static int AskOld(WIN32_FILE_ATTRIBUTE_DATA* data)
{
    if (GetFileAttributesExW(OldPath.text, GetFileExInfoStandard, data))
        return (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? OldFolder : OldFile;
    DWORD error = GetLastError();
    // Missing, or below a file that stands where the new installation has a folder.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY)
        return OldMissing;
    OutFailure("cannot read", WidePathShown(&OldPath), error);
    return OldUnreadable;
}

// Handles one file of the new installation, the one NewPath names.
static int HandleFile(MakeCounts* counts, const WIN32_FIND_DATAW* entry)
{
    WIN32_FILE_ATTRIBUTE_DATA old_data;
    int old = AskOld(&old_data);
    if (old == OldUnreadable)
        return 0;
    if (old == OldMissing)
        return WritePatchFile(counts, 0);
    if (old == OldFolder) {
        // Written all the same, so that the patch holds the new installation.
        PrintWillFail("a file where the old installation has a folder, which the update cannot "
                      "replace", 0);
        counts->will_fail++;
        return WritePatchFile(counts, 0);
    }
    // Sizes first: a file of another size has changed without a byte read.
    if (old_data.nFileSizeHigh != entry->nFileSizeHigh ||
        old_data.nFileSizeLow != entry->nFileSizeLow)
        return WritePatchFile(counts, 1);
    int failed = 0;
    int same = SameContent(NewPath.text, OldPath.text, &failed);
    if (same < 0) {
        OutFailure("cannot read", WidePathShown(failed ? &OldPath : &NewPath), GetLastError());
        return 0;
    }
    if (same)
        counts->unchanged_files++;
    return same ? 1 : WritePatchFile(counts, 1);
}

static int WriteChanges(MakeCounts* counts);

// Handles one folder of the new installation, the one NewPath names, and
// everything in it.
static int HandleFolder(MakeCounts* counts)
{
    WIN32_FILE_ATTRIBUTE_DATA old_data;
    int old = AskOld(&old_data);
    if (old == OldUnreadable)
        return 0;
    if (old != OldFolder) {
        if (old == OldFile) {
            PrintWillFail("a folder where the old installation has a file, which the update "
                          "cannot replace", 1);
            counts->will_fail++;
        }
        if (!WidePathCreateFolders(&PatchPath, 1)) {
            OutFailure("cannot create", WidePathShown(&PatchPath), GetLastError());
            return 0;
        }
        PrintEntry("new     ", 1);
        counts->new_folders++;
    }
    return WriteChanges(counts);
}

// Writes what the folder that NewPath names holds and OldPath's lacks.
// Returns 1; 0 after a message.
static int WriteChanges(MakeCounts* counts)
{
    TreeListing listing;
    int rc = ListingOpen(&NewPath, &listing);
    int old_len = OldPath.len, new_len = NewPath.len, patch_len = PatchPath.len;
    for (; rc == 1; rc = ListingNext(&listing)) {
        if (!PushAll(listing.entry.cFileName)) {
            ListingClose(&listing);
            OutFailure("cannot list", WidePathShown(&NewPath), ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        int ok = 1;
        int kind = ListingKind(&listing.entry);
        if (ListingIsReparsePoint(&listing.entry)) {
            PrintWillFail("a link or other reparse point, never followed, so not written",
                          kind != WalkFile);
            counts->will_fail++;
        } else if (kind == WalkFolder) {
            ok = HandleFolder(counts);
        } else {
            ok = HandleFile(counts, &listing.entry);
        }
        CutAll(old_len, new_len, patch_len);
        if (!ok) {
            ListingClose(&listing);
            return 0;
        }
    }
    if (rc < 0) {
        OutFailure("cannot list", WidePathShown(&NewPath), GetLastError());
        return 0;
    }
    return 1;
}

// Lists the files below the folder that OldPath names which the new
// installation lacks. Returns 1; 0 after a message.
static int ListLeftInPlace(MakeCounts* counts)
{
    TreeListing listing;
    int rc = ListingOpen(&OldPath, &listing);
    int old_len = OldPath.len, new_len = NewPath.len, patch_len = PatchPath.len;
    for (; rc == 1; rc = ListingNext(&listing)) {
        if (!PushAll(listing.entry.cFileName)) {
            ListingClose(&listing);
            OutFailure("cannot list", WidePathShown(&OldPath), ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        int ok = 1;
        DWORD new_attributes = GetFileAttributesW(NewPath.text);
        if (ListingKind(&listing.entry) == WalkFolder) {
            // A folder that the new installation lacks leaves all its files;
            // one that became a file there was reported already.
            if (new_attributes == INVALID_FILE_ATTRIBUTES ||
                (new_attributes & FILE_ATTRIBUTE_DIRECTORY))
                ok = ListLeftInPlace(counts);
        } else if (new_attributes == INVALID_FILE_ATTRIBUTES) {
            if (counts->left_in_place++ == 0)
                OutAscii(OutStd, "left in place by the update (the new installation lacks them):\r\n");
            OutAscii(OutStd, "        ");
            OutName(OutStd, WidePathRelative(&OldPath));
            OutAscii(OutStd, "\r\n");
        }
        CutAll(old_len, new_len, patch_len);
        if (!ok) {
            ListingClose(&listing);
            return 0;
        }
    }
    if (rc < 0) {
        OutFailure("cannot list", WidePathShown(&OldPath), GetLastError());
        return 0;
    }
    return 1;
}

// Sets a root and makes sure that it is an existing folder. Returns 1; 0
// after a message.
static int SetInstallation(WidePath* path, const WCHAR* arg)
{
    if (!WidePathSetRoot(path, arg)) {
        OutFailure("cannot use the folder", arg, ERROR_INVALID_NAME);
        return 0;
    }
    DWORD attributes = WidePathAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        OutFailure("no folder", WidePathShown(path),
                   attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY);
        return 0;
    }
    return 1;
}

// Makes PatchPath an empty folder. Returns 1 with *created telling whether
// it was made here; 0 after a message.
static int PreparePatchFolder(const WCHAR* arg, int* created)
{
    *created = 0;
    if (!WidePathSetRoot(&PatchPath, arg)) {
        OutFailure("cannot use the folder", arg, ERROR_INVALID_NAME);
        return 0;
    }
    if (WidePathIsWithin(&PatchPath, &OldPath) || WidePathIsWithin(&PatchPath, &NewPath) ||
        WidePathIsWithin(&OldPath, &PatchPath) || WidePathIsWithin(&NewPath, &PatchPath)) {
        OutAscii(OutErr, "makepatch: the patch folder must lie outside both installations: ");
        OutName(OutErr, WidePathShown(&PatchPath));
        OutAscii(OutErr, "\r\n");
        return 0;
    }
    DWORD attributes = WidePathAttributes(&PatchPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryW(PatchPath.text, 0)) {
            OutFailure("cannot create", WidePathShown(&PatchPath), GetLastError());
            return 0;
        }
        *created = 1;
        return 1;
    }
    TreeListing listing;
    int rc = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ListingOpen(&PatchPath, &listing) : -1;
    if (rc == 1)
        ListingClose(&listing);
    if (rc != 0) {
        OutAscii(OutErr, "makepatch: the patch folder must be missing or empty: ");
        OutName(OutErr, WidePathShown(&PatchPath));
        OutAscii(OutErr, "\r\n");
        return 0;
    }
    return 1;
}

int MakePatch(const WCHAR* old_root, const WCHAR* new_root, const WCHAR* patch_root,
              MakeCounts* counts)
{
    memset(counts, 0, sizeof *counts);
    int created = 0;
    if (!SetInstallation(&OldPath, old_root) || !SetInstallation(&NewPath, new_root) ||
        !PreparePatchFolder(patch_root, &created))
        return 0;
    if (WriteChanges(counts) && ListLeftInPlace(counts))
        return 1;
    // Put the patch folder back as it was: nothing half-written ships.
    WidePathCut(&PatchPath, PatchPath.root_len);
    int undone = RemoveTreeContents(&PatchPath);
    if (undone && created)
        undone = RemoveDirectoryW(PatchPath.text) != 0;
    if (undone) {
        OutAscii(OutErr, "makepatch: nothing was written: the patch folder is %s again\r\n",
                 created ? "missing" : "empty");
    } else {
        OutAscii(OutErr, "makepatch: the unfinished patch could not be removed whole: ");
        OutName(OutErr, WidePathShown(&PatchPath));
        OutAscii(OutErr, "\r\n");
    }
    return 0;
}
