#pragma once
// One-call file operations: each opens the file named by path (code page
// 932, handed to the platform unchanged), does one transfer or query and
// closes the file again, so no handle outlives a call.
//
// Sizes, lengths and results are 32-bit; offsets run from 0 to
// 2,147,483,647. The reads share reading only, so they fail on a file that
// someone holds open for writing; the writes and the delete share nothing,
// so they fail on a file that anyone holds open. Nothing is shown or traced
// on failure (FileReadAll's size mismatch line aside).

#include <windows.h>

// Returns the file's size in bytes; 0 when it cannot be opened for reading
// or is 4 GiB or larger.
DWORD FileGetSize(const char* path);

// Writes length bytes of data at offset, creating a missing file; bytes
// outside the range are kept, a gap past the end reads as zeros. Returns the
// bytes written; 0 when the file cannot be opened or offset is negative (then
// nothing is written and no file is created).
DWORD FileWriteAt(const char* path, const void* data, LONG offset, DWORD length);

// Writes length bytes of data as the whole new content of path (an existing
// file is emptied first). Returns the bytes written; 0 when the file cannot
// be opened.
DWORD FileWriteNew(const char* path, const void* data, DWORD length);

// Writes length bytes of data at the end of the file, creating a missing
// file. Returns the bytes written; 0 when the file cannot be opened.
DWORD FileAppend(const char* path, const void* data, DWORD length);

// Reads at most length bytes from offset into buf, which holds length bytes.
// Returns the bytes read (fewer when the file ends first, 0 at or past the
// end); 0 when the file cannot be opened or offset is negative.
DWORD FileReadAt(const char* path, void* buf, LONG offset, DWORD length);

// Reads at most length bytes from the start into buf, which holds length
// bytes. Returns the bytes read; 0 when the file cannot be opened.
DWORD FileRead(const char* path, void* buf, DWORD length);

// Reads the whole file into a new zero-filled block exactly as long as the
// file (no terminator added) and stores its address in *block; caller frees
// it with GlobalFree. Returns the size. Returns 0 and leaves *block as it was
// when the file cannot be opened, is empty or is 4 GiB or larger; returns 0
// and stores null when the block cannot be allocated. When fewer bytes
// arrive than the size (a short read, or no block), traces
// "ファイルサイズと読みこみサイズが違うなり、何ゆえ？" without a line end; a
// short read still hands out the block and returns the size.
DWORD FileReadAll(const char* path, char** block);

// Deletes the file. Returns 1 when it was deleted; 0 when it cannot be
// opened for deleting (missing, read-only, held open elsewhere, a folder).
int FileDelete(const char* path);

// Returns 1 when path names a file that can be opened for reading, else 0
// (also for a folder).
int FileExists(const char* path);
