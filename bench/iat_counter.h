#pragma once
// Counts calls that this program makes to a system DLL function, by
// replacing the function's entry in the program's import table. Statically
// linked code calls the system through that table, so every call counts.

#include <windows.h>

// Points the import of function (from dll) at replacement and stores the
// original in *original. Returns 1 on success, 0 when the import is absent.
int HookImport(const char* dll, const char* function, void* replacement, void** original);
