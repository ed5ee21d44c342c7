#pragma once
// Whole-tree removal and copy, each in one call, depth first in the
// platform's listing order, by the walk rules of folder_walk.h: "." and ".."
// are passed over by name, an entry with the folder bit is a subfolder, and
// a folder that is a reparse point (junction, symbolic link) is never
// entered. A path that does not fit WalkPathSize bytes is never used cut:
// its entry is skipped as a failure.

// Removes every file and subfolder under folder, then folder itself. Each
// entry that resists costs one warning box ("ファイル[%s]が削除できません。"
// or "フォルダ[%s]が削除できません。" with its full path, owner window from
// the slot) and the walk goes on. A link inside the tree is removed as a link
// and nothing behind it is touched; when folder itself is a link, only the
// link is removed. Returns nonzero when folder itself was removed; 0 when it
// is null or empty, cannot be listed, or cannot be removed at the end.
int FolderRemoveTree(const char* folder);

// Copies every file and subfolder under src into dst, which must exist;
// subfolders are created on the way, empty ones included. Each file is put
// in place with FileCopyReplace, in one step where it can; fail_if_exists is
// handed to it: nonzero keeps an existing target file, 0 overwrites it.
// Traces "%s\n" with the target path of every file, copied or not, and
// of every entry skipped (a link, which is not copied, a path that does not
// fit, a subfolder that cannot be listed, or a folder of dst that is a link
// out of dst which must not be written through: see WalkMayWriteInto;
// nothing is copied into it). Returns 1 when src could be
// listed, whatever failed below it; 0 when either path is null or empty or
// src cannot be listed.
int FolderCopyTree(const char* src, const char* dst, int fail_if_exists);
