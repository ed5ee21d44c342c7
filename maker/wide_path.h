#pragma once
// Paths in the publisher's trees, held as wide text so that every name on
// disk is reached exactly, whatever code page 932 can hold, and at any depth:
// a root is made full and given the long-path prefix ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), which lifts the 259-character limit of
// ordinary paths. Below the root the path grows and shrinks by one name at a
// time as a walk goes down and up.

#include <windows.h>

// Room of a path: the system's limit for prefixed paths and the terminator.
const int WidePathChars = 32768;

struct WidePath {
    WCHAR text[WidePathChars];  // prefixed full path, no trailing backslash
    int len;                    // characters in text
    int root_len;               // characters of the root; below it "\name\name..."
    int prefix_len;             // characters of the long-path prefix (0 when given prefixed)
};

// Makes path the full, prefixed form of arg (a relative arg counts from the
// current folder; trailing backslashes are dropped). Returns 1; 0 when arg is
// empty or cannot be made full within WidePathChars.
int WidePathSetRoot(WidePath* path, const WCHAR* arg);

// Appends "\" and name. Returns 1; 0 when that would not fit (path unchanged).
int WidePathPush(WidePath* path, const WCHAR* name);

// Cuts path back to len characters, a length that it had before a push.
void WidePathCut(WidePath* path, int len);

// The part below the root without its leading "\"; "" at the root itself.
const WCHAR* WidePathRelative(const WidePath* path);

// Returns path as a user writes it, without the long-path prefix, in a
// module buffer that is valid until the next call.
const WCHAR* WidePathShown(const WidePath* path);

// Attributes of what path names, or INVALID_FILE_ATTRIBUTES when nothing is
// there (a drive root such as "\\?\C:" is asked for with its backslash).
DWORD WidePathAttributes(WidePath* path);

// Creates the folders of path from below the root down to its last name
// (with_last 1) or down to its parent (with_last 0); folders already there
// are fine. Returns 1; 0 when a folder cannot be created (GetLastError says
// why).
int WidePathCreateFolders(WidePath* path, int with_last);
