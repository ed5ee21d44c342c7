#include "maker/tree_listing.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "maker/path_pattern.h"
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

// The names of one folder, sorted to find twins: their text one after
// another, and where each starts. Kept from folder to folder.
static WCHAR* NameText;
static int NameTextRoom;
static int* NameStarts;
static int NameStartsRoom;

// Returns block (room items of unit bytes) grown to hold needed items, or
// null when there is no memory (block is then unchanged).
static void* Grown(void* block, int* room, int needed, int unit)
{
    if (needed <= *room)
        return block;
    int grown_room = *room ? *room : 256;
    while (grown_room < needed)
        grown_room *= 2;
    void* grown = block ? HeapReAlloc(GetProcessHeap(), 0, block, (SIZE_T)grown_room * unit)
                        : HeapAlloc(GetProcessHeap(), 0, (SIZE_T)grown_room * unit);
    if (!grown) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    *room = grown_room;
    return grown;
}

// Orders names as Windows compares them, then by their character codes.
static int CompareNames(const void* a, const void* b)
{
    const WCHAR* x = NameText + *(const int*)a;
    const WCHAR* y = NameText + *(const int*)b;
    int order = NamesCompare(x, y, -1);
    return order ? order : wcscmp(x, y);
}

int ListingCaseTwins(WidePath* folder, WCHAR* first, WCHAR* second)
{
    TreeListing listing;
    int rc = ListingOpen(folder, &listing);
    int count = 0, used = 0;
    for (; rc == 1; rc = ListingNext(&listing)) {
        int chars = (int)wcslen(listing.entry.cFileName) + 1;
        WCHAR* text = (WCHAR*)Grown(NameText, &NameTextRoom, used + chars, sizeof(WCHAR));
        if (text)
            NameText = text;
        int* starts = text ? (int*)Grown(NameStarts, &NameStartsRoom, count + 1, sizeof(int)) : 0;
        if (!starts) {
            ListingClose(&listing);
            return -1;
        }
        NameStarts = starts;
        memcpy(NameText + used, listing.entry.cFileName, chars * sizeof(WCHAR));
        NameStarts[count++] = used;
        used += chars;
    }
    if (rc < 0)
        return -1;
    qsort(NameStarts, count, sizeof *NameStarts, CompareNames);
    for (int i = 1; i < count; i++) {
        const WCHAR* one = NameText + NameStarts[i - 1];
        const WCHAR* other = NameText + NameStarts[i];
        if (NamesCompare(one, other, -1) == 0) {
            lstrcpynW(first, one, MAX_PATH);
            lstrcpynW(second, other, MAX_PATH);
            return 1;
        }
    }
    return 0;
}
