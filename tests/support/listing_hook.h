#pragma once
// Folder listings of this program as other file systems and platforms give
// them, for as long as a ListingHook lives: FindFirstFileA and FindNextFileA
// are replaced in the program's import table. One hook at a time.

#include <windows.h>

class ListingHook {
public:
    enum Mode {
        // Listed through the wide call, which has no 260-character limit:
        // a pattern of any length is listed, such as one that reaches a short
        // folder through many "\." steps.
        NoPathLimit,
        // As NoPathLimit, and as on a file system that gives no "." and ".."
        // entries: they are left out, so that the listing of an empty folder
        // fails with ERROR_FILE_NOT_FOUND.
        NoDotEntries,
    };
    explicit ListingHook(Mode mode);
    ~ListingHook();
    ListingHook(const ListingHook&) = delete;
    ListingHook& operator=(const ListingHook&) = delete;
    // True when both imports were replaced.
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};
