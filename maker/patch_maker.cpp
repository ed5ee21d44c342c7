#include "maker/patch_maker.h"

#include <string.h>
#include <wchar.h>

#include "maker/console_out.h"
#include "maker/file_compare.h"
#include "maker/folder_identity.h"
#include "maker/path_pattern.h"
#include "maker/tree_listing.h"
#include "maker/tree_remove.h"
#include "maker/wide_path.h"
#include "toolkit/files/folder_walk.h"

const WCHAR UnfinishedSuffix[] = L".unfinished";

// The three trees, walked in step: the same relative path below each root.
// PatchPath is rooted at the unfinished folder; FinalPath names the patch
// folder that it becomes. Scratch serves one question at a time.
static WidePath OldPath, NewPath, PatchPath, FinalPath, Scratch;
static const MakeRequest* Request;
// For each pattern of the request, whether it left anything out.
static char* ExcludeUsed;

// Attributes that no patch file carries: the updater's copy keeps a file's
// attributes, and a read-only installed file refuses the next update.
static const DWORD NotShipped = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM;

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

// 1 when a pattern of the request leaves out the entry at the relative path.
static int Excluded(const WCHAR* relative)
{
    int excluded = 0;
    for (int i = 0; i < Request->exclude_count; i++) {
        if (PathMatches(Request->excludes[i], relative))
            excluded = ExcludeUsed[i] = 1;
    }
    return excluded;
}

// Warns of each pattern that left nothing out: a pattern with a typo in it
// would otherwise quietly ship what it was meant to keep out.
static void WarnUnusedExcludes()
{
    for (int i = 0; i < Request->exclude_count; i++) {
        if (!ExcludeUsed[i]) {
            OutAscii(OutErr, "makepatch: --exclude ");
            OutName(OutErr, Request->excludes[i]);
            OutAscii(OutErr, " matched nothing in OLD or NEW\r\n");
        }
    }
}

static void OutPathMessage(const char* text, const WidePath* path)
{
    OutProblem(text, WidePathShown(path));
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

// The patch already holds what NewPath's entry would be written as: only
// another name of the new installation, one that the file system takes for
// the same although NoCaseTwins found no twins, can have put it there.
// Returns 0 after a message.
static int CaseTwins()
{
    OutPathMessage("the new installation holds names that differ only in case, which Windows "
                   "takes for one name: ",
                   &NewPath);
    return 0;
}

// Prints the path of the entry name in the folder that NewPath names.
static void PrintChildPath(int stream, const WCHAR* name)
{
    int len = NewPath.len;
    if (WidePathPush(&NewPath, name))
        OutName(stream, WidePathShown(&NewPath));
    else
        OutName(stream, name);
    WidePathCut(&NewPath, len);
}

// Makes sure that no two names in the folder that NewPath names differ
// only in case, whether or not either would be written. Returns 1; 0
// after a message naming both.
static int NoCaseTwins()
{
    WCHAR first[MAX_PATH], second[MAX_PATH];
    int twins = ListingCaseTwins(&NewPath, first, second);
    if (twins < 0) {
        OutFailure("cannot list", WidePathShown(&NewPath), GetLastError());
        return 0;
    }
    if (twins) {
        OutAscii(OutErr, "makepatch: the new installation holds names that differ only in case, "
                         "which Windows takes for one name: ");
        PrintChildPath(OutErr, first);
        OutAscii(OutErr, " and ");
        PrintChildPath(OutErr, second);
        OutAscii(OutErr, "\r\n");
    }
    return !twins;
}

// Writes the file that NewPath names to PatchPath, as an ordinary file
// whatever attributes it has in the new installation. Returns 1; 0 after a
// message.
static int WritePatchFile(MakeCounts* counts, int changed, DWORD attributes)
{
    if (!WidePathCreateFolders(&PatchPath, 0)) {
        DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS)
            return CaseTwins();  // a file of that name where a folder must go
        OutFailure("cannot create the folder for", WidePathShown(&PatchPath), error);
        return 0;
    }
    if (!CopyFileW(NewPath.text, PatchPath.text, TRUE)) {
        DWORD error = GetLastError();
        // Refused because something already has the name (a folder refuses
        // with access denied), not a copy that failed on its way.
        if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
             error == ERROR_ACCESS_DENIED) &&
            GetFileAttributesW(PatchPath.text) != INVALID_FILE_ATTRIBUTES)
            return CaseTwins();
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
    if (attributes & NotShipped) {
        // The copy took the source's attributes; keep only the harmless ones.
        DWORD copied = GetFileAttributesW(PatchPath.text);
        DWORD kept = copied == INVALID_FILE_ATTRIBUTES
                         ? 0
                         : copied & (FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (!SetFileAttributesW(PatchPath.text, kept ? kept : FILE_ATTRIBUTE_NORMAL)) {
            OutFailure("cannot write", WidePathShown(&PatchPath), GetLastError());
            return 0;
        }
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

// Writes a file whose bytes changed; one that is read-only in the old
// installation will not be replaced there.
static int WriteChanged(MakeCounts* counts, const WIN32_FIND_DATAW* entry,
                        const WIN32_FILE_ATTRIBUTE_DATA* old_data)
{
    if (!WritePatchFile(counts, 1, entry->dwFileAttributes))
        return 0;
    if (old_data->dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        PrintWillFail("read-only in the old installation, so the update cannot replace it "
                      "(the product's installer must not make it read-only)", 0);
        counts->will_fail++;
    }
    return 1;
}

// Handles one file of the new installation, the one NewPath names.
static int HandleFile(MakeCounts* counts, const WIN32_FIND_DATAW* entry)
{
    WIN32_FILE_ATTRIBUTE_DATA old_data;
    int old = AskOld(&old_data);
    if (old == OldUnreadable)
        return 0;
    if (old == OldMissing)
        return WritePatchFile(counts, 0, entry->dwFileAttributes);
    if (old == OldFolder) {
        // Written all the same, so that the patch holds the new installation.
        PrintWillFail("a file where the old installation has a folder, which the update cannot "
                      "replace", 0);
        counts->will_fail++;
        return WritePatchFile(counts, 0, entry->dwFileAttributes);
    }
    // Sizes first: a file of another size has changed without a byte read.
    if (old_data.nFileSizeHigh != entry->nFileSizeHigh ||
        old_data.nFileSizeLow != entry->nFileSizeLow)
        return WriteChanged(counts, entry, &old_data);
    int failed = 0;
    int same = SameContent(NewPath.text, OldPath.text, &failed);
    if (same < 0) {
        OutFailure("cannot read", WidePathShown(failed ? &OldPath : &NewPath), GetLastError());
        return 0;
    }
    if (same)
        counts->unchanged_files++;
    return same ? 1 : WriteChanged(counts, entry, &old_data);
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
        // The unfinished folder began empty: a folder already there was put
        // there by a name that differs only in case.
        if (!WidePathCreateFolders(&PatchPath, 0) || !CreateDirectoryW(PatchPath.text, 0)) {
            DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS)
                return CaseTwins();
            OutFailure("cannot create", WidePathShown(&PatchPath), error);
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
    if (!NoCaseTwins())
        return 0;
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
        if (Excluded(WidePathRelative(&NewPath))) {
            counts->excluded++;
        } else if (ListingIsReparsePoint(&listing.entry)) {
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

// Lists what is below the folder that OldPath names and the new
// installation lacks: a file, or a folder once for all that it holds.
// Returns 1; 0 after a message.
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
        int is_folder = (listing.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        DWORD new_attributes = GetFileAttributesW(NewPath.text);
        if (Excluded(WidePathRelative(&OldPath))) {
            // Left out of the patch: what the update does with it is the publisher's choice.
        } else if (new_attributes == INVALID_FILE_ATTRIBUTES) {
            if (counts->left_files + counts->left_folders == 0)
                OutAscii(OutStd, "left in place by the update (the new installation lacks them):\r\n");
            OutAscii(OutStd, "        ");
            OutName(OutStd, WidePathRelative(&OldPath));
            OutAscii(OutStd, "%s\r\n", is_folder ? "\\" : "");
            if (is_folder)
                counts->left_folders++;
            else
                counts->left_files++;
        } else if (ListingKind(&listing.entry) == WalkFolder &&
                   (new_attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // A folder that became a file in the new installation was reported already.
            ok = ListLeftInPlace(counts);
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

static int EndsUnfinished(const WidePath* path)
{
    int suffix = (int)wcslen(UnfinishedSuffix);
    return path->len >= suffix && _wcsicmp(path->text + path->len - suffix, UnfinishedSuffix) == 0;
}

int IsUnfinishedPatch(const WCHAR* folder)
{
    return WidePathSetRoot(&Scratch, folder) && EndsUnfinished(&Scratch);
}

// Characters of the parent of path's folder; 0 when it is a drive's root.
static int ParentChars(const WidePath* path)
{
    int floor = path->text[2] == L'?' ? 4 : 0;  // below "\\?\" lies the drive
    int at = path->len;
    while (at > floor && path->text[at - 1] != L'\\')
        at--;
    return at > floor ? at - 1 : 0;
}

// Whether inner lies within outer. Returns 1 or 0; -1 after a message.
static int Within(const WidePath* inner, const WidePath* outer)
{
    int within = FolderIsWithin(inner, outer);
    if (within < 0)
        OutFailure("cannot compare the folders", WidePathShown(inner), GetLastError());
    return within;
}

// 1 when the folder place, or either installation, lies within the other;
// 0 when not; -1 after a message. With check_below 0 only place's side is asked.
static int Overlaps(const WidePath* place, int check_below)
{
    const WidePath* installations[] = {&OldPath, &NewPath};
    for (const WidePath* installation : installations) {
        int within = Within(place, installation);
        if (within == 0 && check_below)
            within = Within(installation, place);
        if (within != 0) {
            if (within > 0)
                OutPathMessage("the patch folder must lie outside both installations: ", &FinalPath);
            return within;
        }
    }
    return 0;
}

// Makes PatchPath a new, empty unfinished folder beside the patch folder,
// which FinalPath names, after making sure that the patch folder can take
// its place. Returns 1 with *patch_there telling whether the patch folder
// is there (empty); 0 after a message, with nothing changed but a leftover
// unfinished folder removed.
static int PrepareUnfinished(int* patch_there)
{
    const WCHAR* arg = Request->patch_root;
    if (!WidePathSetRoot(&FinalPath, arg)) {
        OutFailure("cannot use the folder", arg, ERROR_INVALID_NAME);
        return 0;
    }
    int parent_chars = ParentChars(&FinalPath);
    int suffix_chars = (int)wcslen(UnfinishedSuffix);
    if (parent_chars == 0 || EndsUnfinished(&FinalPath) ||
        FinalPath.len + suffix_chars >= WidePathChars) {
        OutPathMessage(parent_chars == 0
                           ? "the patch folder cannot be a drive's root: "
                           : "the patch folder's name must not end in .unfinished: ",
                       &FinalPath);
        return 0;
    }
    Scratch = FinalPath;
    WidePathCut(&Scratch, parent_chars);
    DWORD attributes = WidePathAttributes(&Scratch);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        OutFailure("no folder", WidePathShown(&Scratch),
                   attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY);
        return 0;
    }
    attributes = WidePathAttributes(&FinalPath);
    *patch_there = attributes != INVALID_FILE_ATTRIBUTES;
    // By what the folders are, before anything is written: the patch folder,
    // or where it will be made, must not lie in an installation, nor an
    // installation in it.
    int overlap = *patch_there ? Overlaps(&FinalPath, 1) : Overlaps(&Scratch, 0);
    if (overlap != 0)
        return 0;
    if (*patch_there) {
        TreeListing listing;
        int rc = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ListingOpen(&FinalPath, &listing) : -1;
        if (rc == 1)
            ListingClose(&listing);
        if (rc != 0) {
            OutPathMessage("the patch folder must be missing or empty: ", &FinalPath);
            return 0;
        }
    }
    PatchPath = FinalPath;
    memcpy(PatchPath.text + PatchPath.len, UnfinishedSuffix, (suffix_chars + 1) * sizeof(WCHAR));
    PatchPath.len = PatchPath.root_len = FinalPath.len + suffix_chars;
    // A leftover of an interrupted make goes first; anything else there stays.
    attributes = WidePathAttributes(&PatchPath);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            OutPathMessage("something other than an unfinished patch has its name: ", &PatchPath);
            return 0;
        }
        if (Overlaps(&PatchPath, 1) != 0)
            return 0;
        if (!RemoveTreeContents(&PatchPath) || !RemoveDirectoryW(PatchPath.text)) {
            OutPathMessage("the unfinished patch of an earlier make cannot be removed: ",
                           &PatchPath);
            return 0;
        }
        OutAscii(OutStd, "removed the unfinished patch of an earlier make: ");
        OutName(OutStd, WidePathShown(&PatchPath));
        OutAscii(OutStd, "\r\n");
    }
    if (!CreateDirectoryW(PatchPath.text, 0)) {
        OutFailure("cannot create", WidePathShown(&PatchPath), GetLastError());
        return 0;
    }
    return 1;
}

// How long a step on the patch folder is tried again while it is refused,
// and the pause between tries. Windows refuses to rename a folder while a
// file in it is open, and to reuse the name of a removed folder until its
// last handle is closed; a virus scanner or the search indexer opens the
// files just written, and Explorer a folder on view, for a moment.
static const DWORD RefusedForMs = 5000;
static const DWORD RefusedPauseMs = 100;

enum FolderStep {
    RemoveEmptyPatch,    // the empty patch folder goes, to make room
    RenameFinished,      // the unfinished folder takes the patch folder's name
    RecreateEmptyPatch,  // the empty patch folder comes back
};

// Takes step, and takes it again while it is refused with access denied or
// a sharing violation, for up to RefusedForMs. Returns 1; 0 with
// GetLastError saying why.
static int TakeStep(int step)
{
    DWORD started = GetTickCount();
    for (;;) {
        BOOL done = step == RemoveEmptyPatch ? RemoveDirectoryW(FinalPath.text)
                    : step == RenameFinished ? MoveFileW(PatchPath.text, FinalPath.text)
                                             : CreateDirectoryW(FinalPath.text, 0);
        if (done)
            return 1;
        DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
            GetTickCount() - started >= RefusedForMs) {
            SetLastError(error);
            return 0;
        }
        Sleep(RefusedPauseMs);
    }
}

// Gives the finished patch its name. Returns 1; 0 after messages, with the
// finished patch kept under its unfinished name and the patch folder as it
// was, unless it could not be made again (said too).
static int PutInPlace(int patch_there)
{
    int patch_as_it_was = 1;
    if (patch_there && !TakeStep(RemoveEmptyPatch)) {
        OutFailure("cannot replace the empty folder", WidePathShown(&FinalPath), GetLastError());
    } else if (TakeStep(RenameFinished)) {
        return 1;
    } else {
        OutFailure("cannot rename the finished patch to", WidePathShown(&FinalPath),
                   GetLastError());
        if (patch_there && !TakeStep(RecreateEmptyPatch)) {
            OutFailure("cannot make the empty folder again", WidePathShown(&FinalPath),
                       GetLastError());
            patch_as_it_was = 0;
        }
    }
    OutAscii(OutErr, "makepatch: the finished, checked patch is kept in ");
    OutName(OutErr, WidePathShown(&PatchPath));
    OutAscii(OutErr, ": rename it to ");
    OutName(OutErr, WidePathShown(&FinalPath));
    OutAscii(OutErr, "%s once nothing holds its files (a virus scanner or the search indexer "
                     "may for a while), or make the patch again; under its present name --check "
                     "refuses it and the next make removes it\r\n",
             patch_there && patch_as_it_was ? " in place of the empty folder" : "");
    if (patch_as_it_was)
        OutAscii(OutErr, "makepatch: the patch folder is %s, as it was\r\n",
                 patch_there ? "empty" : "missing");
    return 0;
}

int MakePatch(const MakeRequest* request, MakeCounts* counts)
{
    memset(counts, 0, sizeof *counts);
    Request = request;
    int patch_there = 0;
    if (!CheckFoldersUsable(request->install_dir, request->unpack_dir) ||
        !SetInstallation(&OldPath, request->old_root) ||
        !SetInstallation(&NewPath, request->new_root) || !PrepareUnfinished(&patch_there))
        return MakeFailed;
    int result = MakeFailed;
    ExcludeUsed = (char*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, request->exclude_count + 1);
    if (!ExcludeUsed)
        OutFailure("cannot make", WidePathShown(&FinalPath), ERROR_NOT_ENOUGH_MEMORY);
    if (ExcludeUsed && WriteChanges(counts) && ListLeftInPlace(counts)) {
        WarnUnusedExcludes();
        WidePathCut(&PatchPath, PatchPath.root_len);
        if (counts->new_files + counts->changed_files + counts->new_folders == 0) {
            result = MakeNothing;
        } else {
            counts->findings = CheckPatch(PatchPath.text, request->install_dir,
                                          request->unpack_dir, &counts->check);
            if (counts->findings >= 0)
                result = PutInPlace(patch_there) ? MakeWritten : MakeKept;
        }
    }
    if (ExcludeUsed)
        HeapFree(GetProcessHeap(), 0, ExcludeUsed);
    ExcludeUsed = 0;
    if (result == MakeWritten || result == MakeKept)
        return result;
    // Nothing half-written is left: the unfinished folder goes whole.
    WidePathCut(&PatchPath, PatchPath.root_len);
    if (!RemoveTreeContents(&PatchPath) || !RemoveDirectoryW(PatchPath.text)) {
        OutPathMessage("the unfinished patch could not be removed whole: ", &PatchPath);
    } else if (result == MakeFailed) {
        OutAscii(OutErr, "makepatch: nothing was written: the patch folder is %s, as it was\r\n",
                 patch_there ? "empty" : "missing");
    }
    return result;
}
