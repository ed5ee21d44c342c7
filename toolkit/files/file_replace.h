#pragma once
// The one way the updater and the tree copy put a file in place. The file is
// written beside its target under a temporary name and then moved over the
// target in one step, so that a copy cut short at any moment (the program
// ended, the source unreadable midway, the disk full) leaves the target
// holding all of its old bytes or all of the new ones, never a part.
//
// The temporary file of a target is the target's own path followed by
// ReplaceSuffix: "data\file.bin" is written as "data\file.bin.~upd" in the
// same folder, so the move never crosses volumes. Being derived from the
// target's name, a temporary file left by an interrupted copy is overwritten
// and then removed by the next copy of the same target; a copy that fails
// removes its temporary file itself. Files of that form must not be copied
// as files of their own beside their namesake: they would be taken away by
// its copy.
//
// The copy is made straight onto the target, as CopyFileA makes it, in two
// cases only:
// - where the temporary path does not fit: more than 1,023 bytes, more than
//   259 characters (the platform's ANSI file calls take MAX_PATH characters
//   with the terminator; a two-byte character counts once, as the platform
//   counts it), or a last name of more than 255 characters (the limit of
//   the usual file systems). A copy that works today keeps working there;
// - where MoveFileExA is not implemented: Windows 95, 98 and Me answer every
//   call with ERROR_CALL_NOT_IMPLEMENTED. The temporary copy is then removed
//   and the copy made again straight onto the target.

#include <windows.h>

// Ends the name of every temporary file.
const char ReplaceSuffix[] = ".~upd";

// Copies src to dst with the result, the error codes and the new file's
// content, attributes and times that CopyFileA(src, dst, fail_if_exists)
// gives, but without writing dst in place (see above). Returns nonzero on
// success; 0 on failure, with the reason in GetLastError() and dst as it was:
// - fail_if_exists nonzero and dst present: fails at once with
//   ERROR_FILE_EXISTS, as CopyFileA does, and writes no temporary file;
// - dst read-only or a folder: fails at once with ERROR_ACCESS_DENIED, as
//   Windows refuses CopyFileA onto it (Wine running as root would write a
//   read-only file);
// - src unreadable, the temporary file unwritable, or the move refused (dst
//   held open by another program): the code of the step that failed, and
//   the temporary file is removed.
// The new file takes the target's name but is a new file: a hidden or system
// target is replaced like any other (Windows' CopyFileA refuses one unless
// the source carries the same bits), and its creation time and security are
// those of a new file in the folder, not the replaced file's.
int FileCopyReplace(const char* src, const char* dst, int fail_if_exists);
