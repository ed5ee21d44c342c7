#pragma once
// The listing rules that every folder walk follows (the updater's step-wise
// copy, tree removal, tree copy, file search):
// - a folder is listed with the pattern "%s\*.*";
// - its self and parent entries are passed over by their names "." and "..",
//   never by their place (a drive root has neither, so its first entries are
//   real ones);
// - an entry with the folder bit (0x10) is a subfolder whatever its other
//   bits (read-only, hidden, system, archive);
// - a folder that is a reparse point (0x400: junction, mount point, symbolic
//   link) is never descended into, so a link cannot lead a walk out of its
//   tree or round in a loop;
// - a walk that writes (the updater's copy, the tree copy) never writes
//   through a folder of its target tree that is a link leading out of that
//   tree, when the program holds administrator rights (WalkMayWriteInto);
// - a listing that fails with ERROR_FILE_NOT_FOUND on a folder that exists
//   is an empty listing, not a failure: a file system that gives no "." and
//   ".." entries (some network shares) lists every empty folder that way
//   (WalkOpen tells the two apart; the file search need not, as it reports
//   nothing of a folder that it cannot list).

#include <windows.h>

// Size of every path text of a walk: 1,023 bytes and the terminator.
const int WalkPathSize = 1024;

// What a walk does with one listing entry.
enum WalkEntryKind {
    WalkSkip = 0,    // "." or "..": passed over
    WalkFile = 1,    // a file
    WalkFolder = 2,  // a subfolder to descend into
    WalkLink = 3,    // a folder that is a reparse point: never descended into
};

// Returns the WalkEntryKind of a listing entry.
int WalkEntryKindOf(const WIN32_FIND_DATAA* FindFileData);

// What opening a listing gave.
enum WalkOpenResult {
    WalkUnlisted = -1,  // the folder cannot be listed
    WalkEmpty = 0,      // the listing has no entry at all
    WalkOpened = 1,     // the listing is open
};

// Opens the listing of folder with the pattern "%s\*.*". Returns WalkOpened
// with the search handle in *find (caller closes it with FindClose) and the
// first entry in FindFileData; WalkEmpty when the listing has no entry at
// all; WalkUnlisted when folder is empty, the pattern does not fit
// WalkPathSize bytes or the folder cannot be listed. *find is
// INVALID_HANDLE_VALUE unless the listing is open.
int WalkOpen(const char* folder, WIN32_FIND_DATAA* FindFileData, HANDLE* find);

// Tells whether a walk that writes into the tree at root may write into
// folder, an existing folder below root (or about to be made there). Returns
// 0 when folder is a reparse point (a junction, symbolic link or mount
// point) whose resolved path lies outside root's resolved path, and the
// program holds administrator rights (HoldsAdministratorRights): someone who
// can write the tree but not the place the link leads to could otherwise
// have the program write there. Where the resolved paths cannot be had
// (before Windows Vista, which lacks GetFinalPathNameByHandleW, or a path of
// more than WalkPathSize characters), such a link counts as leading out.
// Returns 1 for a plain folder (or none), a link that stays inside root,
// and any link when the program holds no such rights (the user could write
// where it leads anyway).
int WalkMayWriteInto(const char* root, const char* folder);

// Joins folder and name as "%s\%s" into path, which holds size bytes.
// Returns 1 when the whole path fits; otherwise 0, and path holds the joined
// text cut at a character boundary (good for messages, never for use). An
// empty folder is refused the same way: "\name" would stand for the root of
// the current drive, so no walk can be led there by a missing folder.
int JoinPath(char* path, int size, const char* folder, const char* name);

// Writes first, second and third one after another ("%s%s%s") into path,
// which holds size bytes (size >= 1). Returns 1 when the whole text fits;
// otherwise 0, and path holds the text cut at a character boundary (never
// for use).
int ConcatPath(char* path, int size, const char* first, const char* second, const char* third);
