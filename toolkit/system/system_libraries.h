#pragma once
// Where the program's system libraries come from. A program that imports
// statically only kernel32 and the C library, and takes every other system
// DLL through delay-load import libraries (cmake/delay_imports.cmake), loads
// none of them before its entry point has called RestrictDllSearch; each is
// then loaded by its full path in the system folder, and the DLLs it pulls in
// are searched for in the system folder alone where the system can restrict
// the search. A DLL that someone put beside the program, or in the current
// folder, is never loaded in their place.

#include <windows.h>

// Restricts the DLL search of the process to the system folder:
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) where the system has
// it (Windows 8, and 7 and Vista with update 2533623), else
// SetDllDirectoryA("") where it has that (XP SP1 and later: takes the current
// folder out of the search). Both are looked up at run time; Windows 95 and
// NT 4 have neither, and there nothing changes. Returns 2, 1 or 0 for the
// first, the second, or neither.
int RestrictDllSearch();

// Loads the system DLL name (such as "user32.dll") by its full path in the
// system folder. Returns null with the system's error when it cannot (also
// ERROR_BUFFER_OVERFLOW when the path does not fit the platform's limit).
HMODULE LoadSystemLibrary(const char* name);
