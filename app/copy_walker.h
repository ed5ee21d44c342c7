#pragma once
// Step-wise copy of a folder tree: each step walks the source tree from its
// beginning and copies the one file whose number in walk order equals the
// step's number, creating the target folders that it passes. Nothing stays
// open between steps; all state is in the caller's CopyWalker.

#include <stdint.h>

#include "toolkit/files/folder_walk.h"

struct CopyWalker {
    char src_root[WalkPathSize];      // source root, no trailing backslash
    char dst_root[WalkPathSize];      // target root, no trailing backslash
    int32_t fail_if_exists;           // handed to FileCopyReplace; 0 overwrites
    int32_t seen;                     // files counted so far in this step
    int32_t target;                   // number of this step's file (1, 2, ...)
    int32_t failed;                   // failed copies since CopyWalkerInit
    char current_name[WalkPathSize];  // latest step's file, relative to dst_root
};

// Sets up a run: stores both roots and the flag, zeroes the counters, leaves
// current_name as it was. Returns 1. A root that is empty or longer than
// 1,023 bytes is refused: both roots are left empty, failed is set to 1 (the
// run cannot be done) and 0 is returned; every step of such a run returns 0.
int CopyWalkerInit(const char* src_root, const char* dst_root, int fail_if_exists,
                   CopyWalker* walker);

// Handles the run's next file: copies it with FileCopyReplace, which puts it
// in place in one step where it can (a failure counts in failed), puts
// its name relative to dst_root in current_name and traces the full target
// path as "%s\n". Returns nonzero when a file was handled, whether its copy
// succeeded or not; 0 when the tree holds no further file.
// An entry that cannot be walked into is handled like a file whose copy
// fails: a folder that is a reparse point, a subfolder that cannot be listed,
// and a file or folder whose joined path does not fit WalkPathSize bytes.
// A target folder that is a link leading out of dst_root, where the program
// holds administrator rights (WalkMayWriteInto), is not written into: each
// file below it is handled as a file whose copy fails, named and traced as
// any other, and no folder is made below it.
int CopyWalkerStep(CopyWalker* walker);

// Visits one source folder and the matching target folder within a step.
// Returns 1 when the step's file was reached, 0 when the listing ran out
// first, and -1 when the folder cannot be listed.
int CopyWalkerVisit(const char* src_folder, const char* dst_folder, CopyWalker* walker);
