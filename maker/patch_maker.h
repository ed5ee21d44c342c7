#pragma once
// Making a patch from two installations of the product: every file of the
// new one that the old one lacks or holds with other bytes, and every folder
// that the old one lacks (empty ones too), written in the same relative place
// of the patch folder, ready to stand as "patch" beside update.exe.
//
// A patch is made whole or not at all. It is written into a new folder
// beside the patch folder, named as it with UnfinishedSuffix added, and that
// folder takes the patch folder's name only once everything is written and
// checked. A make that is ended midway leaves only that folder: the next
// make removes it, and the check refuses it. So does a make whose finished
// patch could not take the patch folder's name: its folder then holds the
// whole patch, which the publisher may rename by hand.

#include <windows.h>

#include "maker/patch_check.h"

// Ends the name of the folder that a patch is written into until it is whole.
extern const WCHAR UnfinishedSuffix[];

// What to make.
struct MakeRequest {
    const WCHAR* old_root;
    const WCHAR* new_root;
    const WCHAR* patch_root;   // missing or an empty folder; its parent must exist
    const WCHAR* install_dir;  // checked against as CheckPatch does
    const WCHAR* unpack_dir;   // checked against as CheckPatch does, or null
    // Paths inside the new installation that the patch leaves out, as
    // path_pattern.h reads them: neither written nor reported as left in
    // place, and a folder's whole content with it.
    WCHAR* const* excludes;
    int exclude_count;
};

// What a run did.
struct MakeCounts {
    int new_files;        // files the old installation lacks, written
    int changed_files;    // files with other bytes, written
    int new_folders;      // folders the old installation lacks, created
    int unchanged_files;  // files with the same bytes, not written
    int excluded;         // entries of the new installation left out by a pattern
    int left_files;       // files of the old installation that the new one lacks
    int left_folders;     // folders of the old installation that the new one lacks
    int will_fail;        // entries the patch cannot carry well: links, a file where a
                          // folder was, a file that is read-only in the old installation
    int findings;         // the check's "will fail" lines
    CheckResult check;    // the check of what was written
};

enum MakeResult {
    MakeFailed = 0,   // a usage or file error, after a message; the patch folder is as it was
    MakeWritten = 1,  // the patch stands whole under its name
    MakeNothing = 2,  // the old and the new installation hold the same files: nothing written
    MakeKept = 3,     // the patch is whole and checked, but the unfinished folder could not
                      // take the patch folder's name (after messages); the patch folder is as
                      // it was
};

// Makes the patch that request asks for. Prints one line per file or folder
// written ("new     <path>", "changed <path>", folders with a trailing
// backslash), a line "will fail: <path>: <reason>" for each entry of the new
// installation that the patch cannot carry well, then under a heading what
// the old installation holds and the new one lacks (each such folder once,
// not its files), which the update leaves in place, then the check's lines.
// Prints no summary: the counts say it. The patch folder must lie neither
// in nor above either installation, by what the folders are, however their
// paths are spelt. Returns a MakeResult; on MakeFailed and MakeNothing the
// patch folder is as it was (missing or empty) and nothing else is left. A
// patch folder that refuses the finished patch for a moment (a virus
// scanner holding the new files) is tried again for a few seconds.
int MakePatch(const MakeRequest* request, MakeCounts* counts);

// 1 when folder (as given on the command line) is named as an unfinished
// patch, else 0.
int IsUnfinishedPatch(const WCHAR* folder);
