#pragma once
// The check of a patch tree before it ships: every entry that the updater
// would fail to copy, or would copy wrongly, once the tree stands as "patch"
// beside update.exe and is copied into an installation folder. The updater
// lists the tree with the ANSI calls in code page 932 and copies with them,
// so an entry fails when:
// - its name has no exact form in code page 932: the ANSI listing gives a
//   best-fit name ("café" as "cafe") that names no file;
// - its name takes more than 259 bytes in code page 932, more than the ANSI
//   listing record holds;
// - its path under the installation folder is too long for the ANSI calls:
//   a file's at most 259 characters (paths of 260 or more are refused), a
//   folder's at most 247 (folder creation keeps room for an 8.3 name). Such
//   paths take at most 518 bytes, so the updater's 1,024-byte path buffers
//   never refuse one first;
// - it is a link or another reparse point: the updater never follows a
//   linked folder, and its copy of a linked file would copy whatever the
//   link points to on the user's machine;
// and the patch fails as a whole when it holds no file to copy.
// A folder that fails is reported once for everything in it.

#include <windows.h>

// The installation folder checked against when none is given: where the
// 32-bit product goes on a 64-bit Windows under its publisher's folder, 43
// characters.
extern const WCHAR DefaultInstallDir[];

// Longest path under the installation folder that the updater can copy a
// file to, and create a folder at, in characters.
const int MaxFilePathChars = 259;
const int MaxFolderPathChars = 247;
// Longest name in code page 932 that the ANSI listing can hold, in bytes.
const int MaxNameBytes = 259;

// Checks the tree patch_root against install_dir (a path on the user's
// machine, with or without its trailing backslash) and prints one line
// "will fail: <path in the patch>: <reason>" for each entry that fails,
// followed by no summary (callers print it). Returns the number of such
// lines; -1 when the tree cannot be read or install_dir is unusable (a
// message is printed on standard error). *files gets the number of files
// that the updater would copy.
int CheckPatch(const WCHAR* patch_root, const WCHAR* install_dir, int* files);
