#include "maker/tree_remove.h"

#include "maker/tree_listing.h"
#include "toolkit/files/folder_walk.h"

int RemoveTreeContents(WidePath* folder)
{
    TreeListing listing;
    int rc = ListingOpen(folder, &listing);
    if (rc <= 0)
        return rc == 0;
    int all_gone = 1;
    int len = folder->len;
    for (; rc == 1; rc = ListingNext(&listing)) {
        if (!WidePathPush(folder, listing.entry.cFileName)) {
            all_gone = 0;
            continue;
        }
        DWORD attributes = listing.entry.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(folder->text, attributes & ~FILE_ATTRIBUTE_READONLY);
        if (ListingKind(&listing.entry) == WalkFolder) {
            all_gone &= RemoveTreeContents(folder);
            all_gone &= RemoveDirectoryW(folder->text) != 0;
        } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            all_gone &= RemoveDirectoryW(folder->text) != 0;  // a link to a folder
        } else {
            all_gone &= DeleteFileW(folder->text) != 0;
        }
        WidePathCut(folder, len);
    }
    return all_gone && rc == 0;
}
