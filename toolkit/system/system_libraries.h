#pragma once
// Where the program's system libraries come from. A program that imports
// statically only kernel32 and takes every other system DLL through
// delay-load import libraries (cmake/delay_imports.cmake) loads none of them
// before its entry point has called RestrictDllSearch. A "planted" DLL below
// is one that someone put beside the program, or in the current folder, under
// the name of a system DLL. What each layer keeps out, by Windows version:
//
// 1. kernel32 alone is imported statically: no DLL is searched for before
//    the entry point on any Windows (kernel32 is in every process already).
// 2. Each delay-loaded system DLL (user32, gdi32, advapi32, comdlg32,
//    shell32, winmm, ole32) is loaded by its full path in the system folder:
//    never a planted one, on every Windows from 95 and NT 4 on where no DLL
//    redirection file is honoured (see below).
// 3. It is loaded with LOAD_WITH_ALTERED_SEARCH_PATH, so that the DLLs it
//    imports, and theirs, are searched for first in its own folder, the
//    system folder, instead of the program's folder: no planted one among
//    them on every Windows from 95 and NT 4 on. (A dependency that the
//    system folder lacks is searched for further, the current folder
//    included.)
// 4. A DLL that a system DLL loads by name while it runs (shell32 opening
//    the folder chooser, for one) is searched for in the system folder alone
//    only where SetDefaultDllDirectories exists: Windows 8 and later, and
//    Vista, 7, Server 2008 and 2008 R2 with update 2533623. Everywhere else
//    the program's folder is still searched first: on XP SP1 to 7 without
//    that update SetDllDirectoryA("") takes only the current folder out of
//    the search; on Windows 95 to 2000 and XP before SP1 nothing does.
// 5. The image's load configuration asks Windows 10 1607 and later to search
//    the system folder alone for the DLLs the image imports statically
//    (kernel32 alone: a second lock on layer 1); older systems ignore it.
//
// None of these hold against DLL redirection: where a file named after the
// program with ".local" added (update.exe.local) lies beside it, Windows
// 2000 loads a DLL of the program's folder in place of every DLL loaded,
// "regardless of the path specified", Known DLLs alone excepted (XP also
// takes a folder of that name and looks in it first). The pages for XP SP2
// to Server 2008 say that the file is ignored for a program that carries a
// manifest, as update.exe does; the current page makes redirection depend
// on a machine-wide setting (DevOverrideEnable) and names no versions. So
// the program does not rely on any of this: it looks for the name on every
// Windows before it loads any DLL (DllRedirectionPresent) and ends when
// something is there.

#include <windows.h>

#include <delayimp.h>

// The ways RestrictDllSearch may take, as bits.
enum DllSearchWay {
    // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32): the system
    // folder alone for every later search of the process.
    DllSearchDefaultDirectories = 1,
    // SetDllDirectoryA(""): the current folder out of the search.
    DllSearchNoCurrentFolder = 2,
    DllSearchAll = 3,
};

// Restricts the DLL search of the process by the first of the ways given that
// the system has: SetDefaultDllDirectories where it exists, else
// SetDllDirectoryA("") (XP SP1 and later). Both are looked up at run time;
// Windows 95 to 2000 have neither, and there nothing changes. Returns 2, 1 or
// 0 for the first, the second, or neither. The program passes DllSearchAll;
// a build for the tests alone may leave a way out, to act as an older system.
int RestrictDllSearch(int ways);

// Tells whether the program's DLL redirection file or folder (its own path
// with ".local" added) is there, anything at that name counting, whatever
// the Windows version; writes that path into path (size bytes). Uses
// kernel32 alone, so that it can be asked before any other DLL is loaded.
// Returns 1 when something lies there; 0 when nothing does, or when the
// program's path cannot be had or does not fit.
int DllRedirectionPresent(char* path, int size);

// Loads the system DLL name (such as "user32.dll") by its full path in the
// system folder, its own imports searched for from there
// (LOAD_WITH_ALTERED_SEARCH_PATH). Returns null with the system's error when
// it cannot (also ERROR_BUFFER_OVERFLOW when the path does not fit the
// platform's limit).
HMODULE LoadSystemLibrary(const char* name);

// The delay-load helper (__delayLoadHelper2, called on the first call of each
// delay-loaded function) never returns without the function: when the DLL or
// the function is missing it traces "delay load failed: DLL" or
// "delay load failed: DLL!FUNCTION" to the debugger channel and ends the
// program with a noncontinuable exception of the delay-load facility,
// 0xC06D007E (module not found) or 0xC06D007F (procedure not found), whose
// parameter is the system's error; that code is the exit code.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot);
