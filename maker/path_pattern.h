#pragma once
// Patterns that name paths inside a publisher's tree, relative to its root,
// as "logs", "save\*.dat" or "data\cache?": names joined with backslashes,
// "*" standing for any run of characters and "?" for any one character,
// neither ever for a backslash, so that a pattern names entries at its own
// depth. Letters compare without regard to case, as Windows compares names.

#include <windows.h>

// Compares a and b letter by letter, each in upper case as Windows compares
// names, over at most len characters (len -1: to the end of either).
// Returns less than, equal to or more than 0 as a sorts before, with or
// after b.
int NamesCompare(const WCHAR* a, const WCHAR* b, int len);

// 1 when the relative path matches pattern whole, else 0.
int PathMatches(const WCHAR* pattern, const WCHAR* path);

// Makes pattern ready for use in place: trailing backslashes dropped, a
// leading ".\" too. Returns 1; 0 when what is left is not a relative path
// of names (empty, from a root, with a drive, or with "/").
int PatternPrepare(WCHAR* pattern);
