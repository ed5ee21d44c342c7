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
// - its name is one that the ANSI calls cannot reach: it ends in a dot or a
//   space (both dropped from every name), or it is a device name (CON, PRN,
//   AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension, which names
//   the device);
// - its name ends in ".~upd" or ".~up1" to ".~up9", the forms of the
//   updater's temporary files: the copy of another file may take it for
//   its own and remove it;
// - its path is too long where users unpack update.exe and "patch", when
//   that folder is given: the updater reads "<folder>\patch\<path>" and lists
//   each folder as "<folder>\patch\<path>\*.*", at most 259 characters each;
// - it is a read-only file, which the updater's copy keeps read-only, so
//   that the next update cannot replace it (a patch made by hand);
// and the patch fails as a whole when it holds no file to copy.
// A folder that fails is reported once for everything in it.
//
// Windows 95, 98 and Me count the same path limits in bytes, a two-byte
// character of code page 932 twice. Paths that pass the limits above but
// are too long there are told on one line for the installation folder and
// one for the unpack folder, each naming the longest such path.

#include <windows.h>

// The installation folder checked against when none is given: where the
// 32-bit product goes on a 64-bit Windows under its publisher's folder, 43
// characters.
extern const WCHAR DefaultInstallDir[];

// Longest path under the installation folder that the updater can copy a
// file to, and create a folder at, in characters; the first is also the
// longest path that it can read a file or list a folder by.
const int MaxFilePathChars = 259;
const int MaxFolderPathChars = 247;
// Longest name in code page 932 that the ANSI listing can hold, in bytes.
const int MaxNameBytes = 259;

// What a check found, beside the lines it printed.
struct CheckResult {
    int files;  // files that the updater would copy
    // The longest path that the updater reads from the patch: the file or
    // folder at longest (relative to the patch folder, "" for the patch
    // folder itself, in a module buffer valid until the next check), read as
    // "patch\<path>", or listed as "patch\<path>\*.*" when longest_is_folder;
    // longest_chars counts that read path.
    const WCHAR* longest;
    int longest_is_folder;
    int longest_chars;
    // The bytes of the path read that takes the most bytes (not always the
    // same path).
    int longest_bytes;
    // The longest folder that update.exe and "patch" may be unpacked into
    // for that path to fit, in characters; less than 3 when none is short
    // enough. The same in bytes, as Windows 95, 98 and Me count it.
    int unpack_chars;
    int unpack_bytes;
};

// Makes sure that install_dir and unpack_dir (when it is not null), folders
// on the user's machine, are ones the updater can use: full paths ("C:\..."
// or "\\server\share\...") that code page 932 can hold within 1,023 bytes.
// Returns 1; 0 after a message on standard error.
int CheckFoldersUsable(const WCHAR* install_dir, const WCHAR* unpack_dir);

// Checks the tree patch_root against install_dir (a full path on the user's
// machine, with or without its trailing backslash) and, when it is not null,
// unpack_dir (a full path where users unpack update.exe and "patch"), and
// prints one line "will fail: <path in the patch>: <reason>" for each entry
// that fails, followed by no summary (callers print it). Returns the number
// of such lines; -1 when the tree cannot be read or a folder given is
// unusable (a message is printed on standard error).
int CheckPatch(const WCHAR* patch_root, const WCHAR* install_dir, const WCHAR* unpack_dir,
               CheckResult* result);
