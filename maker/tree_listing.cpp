#include "maker/tree_listing.h"

#include <string.h>
#include <wchar.h>

#include "toolkit/files/folder_walk.h"

static int IsSelfOrParent(const WCHAR* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

// Passes over "." and ".." from the current entry on. Returns as ListingNext.
static int SkipSelfAndParent(TreeListing* listing)
{
    while (IsSelfOrParent(listing->entry.cFileName)) {
        if (!FindNextFileW(listing->find, &listing->entry)) {
            DWORD error = GetLastError();
            ListingClose(listing);
            SetLastError(error);
            return error == ERROR_NO_MORE_FILES ? 0 : -1;
        }
    }
    return 1;
}

int ListingOpen(WidePath* folder, TreeListing* listing)
{
    int len = folder->len;
    listing->find = INVALID_HANDLE_VALUE;
    if (!WidePathPush(folder, L"*")) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    listing->find = FindFirstFileW(folder->text, &listing->entry);
    DWORD error = GetLastError();
    WidePathCut(folder, len);
    if (listing->find == INVALID_HANDLE_VALUE) {
        // No entry at all, not even "." and "..": an empty folder on a file
        // system that gives neither, as long as the folder is there.
        DWORD attributes = WidePathAttributes(folder);
        if (error == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return 0;
        SetLastError(error);
        return -1;
    }
    return SkipSelfAndParent(listing);
}

int ListingNext(TreeListing* listing)
{
    if (!FindNextFileW(listing->find, &listing->entry)) {
        DWORD error = GetLastError();
        ListingClose(listing);
        SetLastError(error);
        return error == ERROR_NO_MORE_FILES ? 0 : -1;
    }
    return SkipSelfAndParent(listing);
}

void ListingClose(TreeListing* listing)
{
    if (listing->find != INVALID_HANDLE_VALUE)
        FindClose(listing->find);
    listing->find = INVALID_HANDLE_VALUE;
}

int ListingKind(const WIN32_FIND_DATAW* entry)
{
    // The updater decides from its ANSI record by the attributes alone, once
    // "." and ".." are passed over: hand it the same attributes.
    WIN32_FIND_DATAA record;
    memset(&record, 0, sizeof record);
    record.dwFileAttributes = entry->dwFileAttributes;
    record.cFileName[0] = 'x';
    return WalkEntryKindOf(&record);
}

int ListingIsReparsePoint(const WIN32_FIND_DATAW* entry)
{
    return (entry->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
