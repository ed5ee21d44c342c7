#pragma once
// Replaces a system DLL function for this program alone, by rewriting the
// function's entry in the program's import table. Statically linked code
// calls the system through that table, so every call of the program, its
// toolkit included, reaches the replacement. Used by tests to make a
// platform call fail on purpose, and by benchmarks to count calls.

#include <windows.h>

// Points the import of function (from dll) at replacement and stores the
// original in *original. Returns 1 on success, 0 when the import is absent.
int HookImport(const char* dll, const char* function, void* replacement, void** original);

// Puts original back into the import entry that holds replacement. Returns 1
// on success, 0 when no entry holds replacement.
int RestoreImport(void* replacement, void* original);
