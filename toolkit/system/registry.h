#pragma once
// Named values under one selected key below HKEY_CURRENT_USER. A caller
// selects a key path, then reads, writes or erases values under it; each value
// operation opens the key with KEY_ALL_ACCESS, does its one thing and closes
// the key again. No handle is kept between calls.
//
// Results: 0 success, -1 when the key could not be opened (or created, for
// the writers), any other value the system's code of the value operation
// (ERROR_FILE_NOT_FOUND 2 for a missing value, ERROR_MORE_DATA 234 for a
// destination too small). WriteRegNumber alone answers 1 stored, 0 failed.

#include <windows.h>

// Size of the selected key path: 263 characters and the terminator.
const int RegKeyPathSize = 264;

// Selects the key path name, verbatim. A name longer than 263 characters
// selects nothing: every value operation then returns -1 until the next valid
// selection (a cut path could name another key). The empty path, the state at
// start, is HKEY_CURRENT_USER itself.
void SelectRegKey(const char* name);
// Selects "SoftWare\<name>"; refused as SelectRegKey when that passes 263 characters.
void SelectSoftwareRegKey(const char* name);

// Stores number as REG_DWORD, creating missing keys. Returns 1 stored, 0 store
// failed, -1 no key.
int WriteRegNumber(const char* value_name, DWORD number);
// Reads 4 bytes of the value into number, whatever its type (ReadRegBytes with 4).
int ReadRegNumber(const char* value_name, DWORD* number);

// Stores count bytes as REG_BINARY, creating missing keys. A negative count is
// refused with ERROR_INVALID_PARAMETER.
int WriteRegBytes(const char* value_name, const void* bytes, int count);
// Reads the value's data, whatever its type, into bytes (size bytes). A value
// larger than size gives 234 and bytes are then not to be relied on.
int ReadRegBytes(const char* value_name, void* bytes, int size);

// Stores text with its terminator as REG_SZ, creating missing keys.
int WriteRegText(const char* value_name, const char* text);
// Reads the value, whatever its type, as text into text (size bytes). Returns
// 234 and leaves text untouched when the value with its terminator does not
// fit; a stored value without terminator comes back terminated. On any other
// failure text is untouched too.
int ReadRegText(const char* value_name, char* text, int size);

// Deletes the value.
int EraseRegValue(const char* value_name);
