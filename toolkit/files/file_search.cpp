#include "toolkit/files/file_search.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"

// Puts the part of path up to its last folder separator (or its drive "X:")
// in the folder field and the rest in the pattern field. Returns 0, leaving
// both empty, when either part does not fit its field.
static int SplitSearchPath(const char* path, FileSearch* search)
{
    const char* cut = path;
    if (path[0] && path[1] == ':')
        cut = path + 2;
    for (const char* p = path; *p; p++) {
        if (DbcsIsLeadByte((unsigned char)*p) && p[1])
            p++;  // a second byte is never a separator
        else if (*p == '\\' || *p == '/')
            cut = p + 1;
    }
    size_t folder_len = (size_t)(cut - path);
    if (folder_len >= (size_t)WalkPathSize || strlen(cut) >= (size_t)FileSearchPatternSize)
        return 0;
    memcpy(search->folder, path, folder_len);
    search->folder[folder_len] = 0;
    strcpy(search->pattern, cut);
    return 1;
}

int FileSearchBegin(const char* path, int include_subfolders, FileSearch* search)
{
    memset(search, 0, sizeof *search);
    if (!path || !SplitSearchPath(path, search))
        return 0;
    search->include_subfolders = include_subfolders;
    return 1;
}

int FileSearchNext(FileSearch* search)
{
    // Nothing can match an empty pattern: no folder is walked for it.
    if (!search->pattern[0])
        return 0;
    return FileSearchStep(search->folder, &search->root_level, search);
}

static void CloseListing(FileSearchLevel* level)
{
    if (level->listing != INVALID_HANDLE_VALUE)
        FindClose(level->listing);
    level->listing = INVALID_HANDLE_VALUE;
}

// Releases the level at place and every level below it; place becomes null.
static void ReleaseLevels(FileSearchLevel** place)
{
    FileSearchLevel* level = *place;
    *place = 0;
    while (level) {
        FileSearchLevel* child = level->child;
        CloseListing(level);
        GlobalFree(level);
        level = child;
    }
}

// Opens the listing of folder followed by pattern, the first entry in the
// level's entry. Returns 0 when it cannot be opened or the text does not fit.
static int OpenListing(FileSearchLevel* level, const char* folder, const char* pattern)
{
    char buf[WalkPathSize];
    if (ConcatPath(buf, sizeof buf, folder, pattern, ""))
        level->listing = FindFirstFileA(buf, &level->entry);
    return level->listing != INVALID_HANDLE_VALUE;
}

static int ReportMatch(const char* folder, const FileSearchLevel* level, FileSearch* search)
{
    DbcsCopyCut(search->found_folder, WalkPathSize, folder);
    search->found_entry = level->entry;
    return 1;
}

int FileSearchStep(const char* folder, FileSearchLevel** place, FileSearch* search)
{
    char buf[WalkPathSize];

    if (!*place) {
        FileSearchLevel* level = (FileSearchLevel*)GlobalAlloc(GPTR, sizeof(FileSearchLevel));
        if (!level)
            return 0;
        level->listing = INVALID_HANDLE_VALUE;
        level->phase = search->include_subfolders ? SearchOpenFolders : SearchOpenMatches;
        *place = level;
    }
    // Set when the current entry comes from opening the listing and has not
    // been looked at yet: the first entry is a real one at a drive root.
    int unseen = 0;
    while (FileSearchLevel* level = *place) {
        switch (level->phase) {
        case SearchOpenFolders:
            if (!OpenListing(level, folder, "*")) {
                ReleaseLevels(place);
                return 0;
            }
            level->advanced = 1;
            level->phase = SearchNextFolder;
            unseen = 1;
            break;
        case SearchNextFolder:
            // With a child the walk is still inside the current entry.
            if (!level->child && !unseen)
                level->advanced = FindNextFileA(level->listing, &level->entry);
            unseen = 0;
            if (!level->advanced) {
                CloseListing(level);
                level->phase = SearchOpenMatches;
            } else if (WalkEntryKindOf(&level->entry) == WalkFolder &&
                       ConcatPath(buf, sizeof buf, folder, level->entry.cFileName, "\\") &&
                       FileSearchStep(buf, &level->child, search)) {
                return 1;
            }
            break;
        case SearchOpenMatches:
            if (!OpenListing(level, folder, search->pattern)) {
                ReleaseLevels(place);
                return 0;
            }
            level->phase = SearchNextMatch;
            if (WalkEntryKindOf(&level->entry) == WalkFile)
                return ReportMatch(folder, level, search);
            break;
        case SearchNextMatch:
            level->advanced = FindNextFileA(level->listing, &level->entry);
            if (!level->advanced)
                ReleaseLevels(place);
            else if (WalkEntryKindOf(&level->entry) == WalkFile)
                return ReportMatch(folder, level, search);
            break;
        default:  // not a phase of this search: drop the level
            ReleaseLevels(place);
            break;
        }
    }
    return 0;
}

void FileSearchEnd(FileSearch* search)
{
    ReleaseLevels(&search->root_level);
}
