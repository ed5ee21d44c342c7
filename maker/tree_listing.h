#pragma once
// Wide listing of one folder of a publisher's tree: every name exactly as it
// stands on disk, and each entry's kind by the updater's own walk rules
// (toolkit/files/folder_walk.h), so that what these tools see of a tree is
// what the updater will do with it.

#include "maker/wide_path.h"

struct TreeListing {
    HANDLE find;
    WIN32_FIND_DATAW entry;  // the current entry
};

// Opens the listing of folder. Returns 1 with its first entry other than "."
// and ".." in listing->entry; 0 when the folder holds nothing; -1 when it
// cannot be listed (GetLastError says why). Only a result of 1 leaves the
// listing open.
int ListingOpen(WidePath* folder, TreeListing* listing);

// Moves to the next entry other than "." and "..". Returns 1; 0 at the end;
// -1 when the listing failed (GetLastError says why). The listing is closed
// unless the result is 1.
int ListingNext(TreeListing* listing);

// Closes a listing that is still open.
void ListingClose(TreeListing* listing);

// The WalkEntryKind that the updater's walk gives the entry: WalkFile,
// WalkFolder, or WalkLink for a folder that is a reparse point.
int ListingKind(const WIN32_FIND_DATAW* entry);

// 1 when the entry is a reparse point of any kind (a link to a file too,
// which the updater's walk takes for a file and whose copy would follow it).
int ListingIsReparsePoint(const WIN32_FIND_DATAW* entry);

// Looks for two names in folder that differ only in case, which Windows
// takes for one name (a tree made where case counts can hold both).
// Returns 1 with them in first and second (MAX_PATH characters each), the
// one with the lower character codes first; 0 when there are none; -1 when
// the folder cannot be listed or there is no memory (GetLastError says why).
int ListingCaseTwins(WidePath* folder, WCHAR* first, WCHAR* second);
