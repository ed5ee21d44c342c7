#pragma once
// Making a patch from two installations of the product: every file of the
// new one that the old one lacks or holds with other bytes, and every folder
// that the old one lacks (empty ones too), written in the same relative place
// of the patch folder, ready to stand as "patch" beside update.exe.

#include <windows.h>

// What a run did.
struct MakeCounts {
    int new_files;        // files the old installation lacks, written
    int changed_files;    // files with other bytes, written
    int new_folders;      // folders the old installation lacks, created
    int unchanged_files;  // files with the same bytes, not written
    int left_in_place;    // files of the old installation that the new one lacks
    int will_fail;        // entries the patch cannot carry: links, a file where a folder was
};

// Writes the patch for old_root and new_root into patch_root, which must be
// missing (it is created, its parent must exist) or an empty folder, and lie
// neither in nor above either installation. Prints one line per file or
// folder written ("new     <path>", "changed <path>", folders with a trailing
// backslash), a line "will fail: <path>: <reason>" for each entry of the new
// installation that the patch cannot carry, then under a heading the files
// of the old installation that the new one lacks, which the update leaves in
// place. Returns 1; 0 on a usage or file error, after a message on standard
// error, with patch_root put back as it was (removed again when it was
// created, emptied when it was empty).
int MakePatch(const WCHAR* old_root, const WCHAR* new_root, const WCHAR* patch_root,
              MakeCounts* counts);
