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
// for data that was not written. A move replaces a link at the target's
// name itself, never what it points to.
//
// Temporary names. The temporary file of a target is in the same folder, so
// the move never crosses volumes; its name is the target's name followed by
// ".~upd" or, when that name is taken, ".~up1" to ".~up9" (all of one
// length): "data\file.bin" is written as "data\file.bin.~upd". Every copy
// first removes whatever lies at each of these ten names with DeleteFileA
// alone: a file goes, a link goes (on Windows the link itself, never what it
// points to), and nothing found there is ever opened, written or given other
// attributes. What DeleteFileA cannot remove (a folder, a read-only file, a
// file held open without delete sharing) stays, and the copy takes the first
// name that is free. The temporary file is made with CopyFileA's
// fail-if-exists, so that it is always a new file of this program; a name
// whose copy is refused with ERROR_FILE_EXISTS, ERROR_ACCESS_DENIED or
// ERROR_SHARING_VIOLATION counts as taken and the next one is tried (a file
// that another program holds with delete sharing is only marked for deletion
// by DeleteFileA: its name stays, and opening it is refused with access
// denied, until that program closes it). A temporary file left by an ended
// copy is removed by the next copy of the same target, unless it is
// read-only (a copy of a read-only source ended midway): that one stays and
// the next copy takes another name. A copy that fails after it has begun
// writing its temporary file (the disk full, a read error) removes that
// file; one that fails before (the source missing) removes nothing, and no
// read-only bit is ever cleared on a file that this copy did not make.
// Files of these forms must not be copied as files of their own beside their
// namesake: they would be taken away by its copy.
//
// A move refused with ERROR_SHARING_VIOLATION is tried MoveTries times in
// all, MoveRetryMs apart, before the target is taken for held open: a
// scanner or an indexer that has just opened the new temporary file refuses
// the move for a moment with the same error. When the temporary file cannot
// be removed after a failed step (still held), it stays at its name, and the
// next copy of the same target removes it.
//
// Copied in place (the exceptions): the copy is made straight onto the
// target, as CopyFileA makes it, and the target is then flushed, where
// - the system is Windows 95, 98 or Me (GetVersion says so), which has no
//   move over an existing file in one step: each file is copied once;
// - the system lacks MoveFileExA (it is looked up when needed, never
//   imported, as Windows 95 does not implement it);
// - the temporary path does not fit: more than 1,023 bytes, more than 259
//   characters (the platform's ANSI file calls take MAX_PATH characters with
//   the terminator; a two-byte character counts once, as the platform counts
//   it), or a last name of more than 255 characters (the limit of the usual
//   file systems);
// - the move is refused because another program holds the target open
//   (ERROR_SHARING_VIOLATION after the tries above, or ERROR_ACCESS_DENIED
//   on a target that is neither read-only nor a folder);
// - all ten temporary names are taken.
// In the last two cases the temporary file is removed first (or was never
// made). CopyFileA writes through a link at its target into what the link
// points to, so before a copy in place the target is looked at without
// following it (FILE_FLAG_OPEN_REPARSE_POINT): a target that is a reparse
// point (a symbolic link, a junction, a mount point), a file with more than
// one name (a hard link), or one the system will not show, is not written;
// the file fails with ERROR_ACCESS_DENIED and a trace line that gives the
// reason. Windows 95, 98 and Me have no links, and there the copy is made.
// A copy that works straight onto the target thus keeps working, but such a
// file has the old guarantee only: a copy ended midway, or a power loss
// before the flush, can leave the target cut short or holding part of the
// new bytes. A disk too full for the temporary copy is no such case: the
// file fails and the target keeps its bytes.

#include <windows.h>

// Ends the first temporary name of every target; the other names differ in
// their last character only.
const char ReplaceSuffix[] = ".~upd";
// The number of temporary names of one target.
const int ReplaceNames = 10;
// How often a move refused with a sharing violation is tried, and how long
// apart: at most 400 ms of waiting per file.
const int MoveTries = 5;
const int MoveRetryMs = 100;

// Copies src to dst, giving the new file the content, attributes and times
// that CopyFileA(src, dst, fail_if_exists) would give, put in place as told
// above. Returns nonzero on success; 0 on failure, with the reason in
// GetLastError(), dst as it was (in a copy in place: as CopyFileA leaves it)
// and no temporary file of this copy left (but one that is still held):
// - fail_if_exists nonzero and dst present: fails at once with
//   ERROR_FILE_EXISTS, as CopyFileA does, and writes no temporary file;
// - dst read-only or a folder: fails at once with ERROR_ACCESS_DENIED, as
//   Windows refuses CopyFileA onto a read-only file (Wine running as root
//   would write one);
// - a copy in place onto a link or a file with other names: fails with
//   ERROR_ACCESS_DENIED (see above);
// - src unreadable, the temporary file unwritable (the disk full), the flush
//   refused, or the move refused for another reason than a held target: the
//   code of the step that failed.
// The new file takes the target's name but is a new file: its attributes
// are the source's, whatever the target's were, and its creation time and
// security are those of a new file in the folder, not the replaced file's.
// A hidden target is thus replaced like any other where the move is made;
// copied in place it is refused, as CopyFileA refuses a hidden or read-only
// target with ERROR_ACCESS_DENIED. Where the copy is made in place, results
// and codes are CopyFileA's, then the flush's.
int FileCopyReplace(const char* src, const char* dst, int fail_if_exists);
