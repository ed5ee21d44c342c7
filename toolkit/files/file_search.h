#pragma once
// Resumable file search: one matching file per call, optionally through all
// subfolders. With subfolders, each folder's subfolders are searched first,
// in listing order and each depth first, then the folder's own matches; so
// the deepest folders report first and the top folder last. Position is kept
// between calls in the caller's FileSearch record and a chain of level
// records (one per folder level, each with an open listing) that the search
// allocates and releases itself. Walk rules as in folder_walk.h: "." and
// ".." by name, any entry with the folder bit is a folder (entered, never
// reported), a reparse-point folder is neither entered nor reported.

#include <stdint.h>

#include "toolkit/files/folder_walk.h"

// Size of the pattern field: 255 bytes and the terminator.
const int FileSearchPatternSize = 256;

// What a level does next.
enum FileSearchPhase {
    SearchOpenFolders = 0,   // open the listing of the level's subfolders
    SearchNextFolder = 1,    // go on with that listing (or the subfolder inside)
    SearchOpenMatches = 2,   // open the listing of the level's matches
    SearchNextMatch = 3,     // go on with that listing
};

// The walk's position in one folder; a zero-filled GlobalAlloc block.
struct FileSearchLevel {
    WIN32_FIND_DATAA entry;   // current entry of this level's listing
    HANDLE listing;           // open listing, INVALID_HANDLE_VALUE when none
    int32_t advanced;         // nonzero: the last advance delivered an entry
    int32_t phase;            // FileSearchPhase
    FileSearchLevel* child;   // level of the subfolder being searched, or null
};

// One search, owned by the caller.
struct FileSearch {
    char folder[WalkPathSize];          // searched folder, ending in "\" or "/"
                                        // (or "X:"); empty: the current folder
    char pattern[FileSearchPatternSize];  // file-name pattern with wildcards
    int32_t include_subfolders;         // nonzero: search all subfolders too
    char found_folder[WalkPathSize];    // after a match: folder of the file,
                                        // the folder field or a subfolder path
                                        // ending in "\"
    WIN32_FIND_DATAA found_entry;       // after a match: the file's entry
    FileSearchLevel* root_level;        // walk in the top folder; null: idle
};

// Clears the whole record and sets up an idle search for path, a folder
// followed by a pattern ("C:\data\*.txt"): the folder part runs to the last
// "\" or "/" (never the second byte of a two-byte character) or is a drive
// "X:", the rest is the pattern. Returns 1; returns 0 for a null path, a
// pattern longer than 255 bytes or a folder longer than 1,023 bytes, and the
// search then reports nothing. Does not touch the file system, and does not
// release a search under way in the record (FileSearchEnd does).
int FileSearchBegin(const char* path, int include_subfolders, FileSearch* search);

// Advances to the next match. Returns 1 and fills found_folder and
// found_entry; returns 0 when the search is over (every listing closed, every
// level released, the record idle). A call after that starts the same search
// afresh. An empty pattern reports nothing.
int FileSearchNext(FileSearch* search);

// The recursive step behind FileSearchNext for folder (ending in a separator,
// or empty) and the level at *place, which it creates when null and releases
// (setting *place to null) when the folder is done. Returns 1 when it found
// a file, 0 when the folder is done. A folder that cannot be listed is done
// at once; a subfolder whose path does not fit WalkPathSize bytes is passed
// over.
int FileSearchStep(const char* folder, FileSearchLevel** place, FileSearch* search);

// Closes every open listing and releases every level of the search and
// leaves it idle; the next FileSearchNext starts afresh. Harmless on an idle
// search.
void FileSearchEnd(FileSearch* search);
