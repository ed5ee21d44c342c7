#pragma once
// The one way the updater and the tree copy put a file in place.
//
// Replaced in one step (the rule): the file is copied beside its target
// under a temporary name, its data flushed to the disk (FlushFileBuffers),
// and then moved over the target (MoveFileExA with MOVEFILE_WRITE_THROUGH).
// A copy ended at any moment (the program killed, the source unreadable
// midway, the disk full) leaves the target holding all of its old bytes or
// all of the new ones, never a part. After a power loss the same holds as
// far as the file system keeps a rename whole, as NTFS's journal does: the
// data reaches the disk before the move, so the moved name never stands
// for data that was not written.
//
// Temporary names. The temporary file of a target is in the same folder, so
// the move never crosses volumes; its name is the target's name followed by
// ".~upd" or, when that name is taken, ".~up1" to ".~up9" (all of one
// length): "data\file.bin" is written as "data\file.bin.~upd". Every copy
// first removes whatever lies at each of these ten names with DeleteFileA
// alone: a file goes, a link goes (on Windows the link itself, never what it
// points to), and nothing found there is ever opened, written or given other
// attributes. What DeleteFileA cannot remove (a folder, a read-only file, a
// file held open) stays, and the copy takes the first name that is free.
// The temporary file is made with CopyFileA's fail-if-exists, so that it is
// always a new file of this program. A temporary file left by an ended copy
// is therefore removed by the next copy of the same target, unless it is
// read-only (a copy of a read-only source ended midway): that one stays
// and the next copy takes another name. A copy that fails removes its own
// temporary file. Files of these forms must not be copied as files of their
// own beside their namesake: they would be taken away by its copy.
//
// Copied in place (the exceptions): the copy is made straight onto the
// target, as CopyFileA makes it, and the target is then flushed, where
// - the temporary path does not fit: more than 1,023 bytes, more than 259
//   characters (the platform's ANSI file calls take MAX_PATH characters with
//   the terminator; a two-byte character counts once, as the platform counts
//   it), or a last name of more than 255 characters (the limit of the usual
//   file systems);
// - MoveFileExA is not implemented: Windows 95, 98 and Me answer every call
//   with ERROR_CALL_NOT_IMPLEMENTED;
// - the move is refused because another program holds the target open
//   (ERROR_SHARING_VIOLATION, or ERROR_ACCESS_DENIED on a target that is
//   neither read-only nor a folder);
// - all ten temporary names are taken by things that cannot be removed.
// In the last three cases the temporary file is removed first (or was never
// made). A copy that works straight onto the target thus keeps working, but
// such a file has the old guarantee only: a copy ended midway, or a power
// loss before the flush, can leave the target cut short or holding part of
// the new bytes. A disk too full for the temporary copy is no such case: the
// file fails and the target keeps its bytes.

#include <windows.h>

// Ends the first temporary name of every target; the other names differ in
// their last character only.
const char ReplaceSuffix[] = ".~upd";
// The number of temporary names of one target.
const int ReplaceNames = 10;

// Copies src to dst, giving the new file the content, attributes and times
// that CopyFileA(src, dst, fail_if_exists) would give, put in place as told
// above. Returns nonzero on success; 0 on failure, with the reason in
// GetLastError(), dst as it was (in a copy in place: as CopyFileA leaves it)
// and no temporary file of this copy left:
// - fail_if_exists nonzero and dst present: fails at once with
//   ERROR_FILE_EXISTS, as CopyFileA does, and writes no temporary file;
// - dst read-only or a folder: fails at once with ERROR_ACCESS_DENIED, as
//   Windows refuses CopyFileA onto it (Wine running as root would write a
//   read-only file);
// - src unreadable, the temporary file unwritable (the disk full), the flush
//   refused, or the move refused for another reason than a held target: the
//   code of the step that failed.
// The new file takes the target's name but is a new file: a hidden or system
// target is replaced like any other (Windows' CopyFileA refuses one unless
// the source carries the same bits), and its creation time and security are
// those of a new file in the folder, not the replaced file's. Where the copy
// is made in place, results and codes are CopyFileA's, then the flush's.
int FileCopyReplace(const char* src, const char* dst, int fail_if_exists);
