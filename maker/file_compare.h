#pragma once
// Whether two files hold the same bytes: their sizes first, then their
// contents block by block. Timestamps are never looked at: a rebuilt file
// with the same bytes is unchanged, a file changed within the same second is
// changed.

#include <windows.h>

// Size of the blocks compared at a time.
const DWORD CompareBlockSize = 64 * 1024;

// Returns 1 when the files first and second hold the same bytes, 0 when they
// differ, -1 when one cannot be opened or read: *failed then says which (0
// for first, 1 for second) and GetLastError why. Both are opened for reading,
// shared for reading only, so a file that another program is writing is not
// read half-written.
int SameContent(const WCHAR* first, const WCHAR* second, int* failed);
