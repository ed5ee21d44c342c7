// The program's own entry point, in place of the C runtime's start-up code:
// that code comes prebuilt for the Pentium Pro and would stop a Pentium, a
// Pentium MMX or a K6 with an invalid instruction before the first window,
// and it needs the C library (msvcrt.dll), which a Windows 95 as it shipped
// does not have. This one is built like the rest of the program and imports
// from kernel32 alone; the memory and text routines the program uses are its
// own (toolkit/system/c_routines.cpp).
//
// Static constructors: the entry point runs the image's constructor list
// (RunImageConstructors) before anything else, as the runtime's start-up
// would, so that a static object added later is constructed like any other;
// the stack guard's seed is one of them, the first by its priority, and
// nothing else seeds it. Nothing is destroyed at the end: the process ends
// with ExitProcess, and the program tears nothing down (a static object whose
// destructor must run would need the C library's atexit, which the link,
// made without the C library, refuses). The program uses no thread-local
// data.
#include <windows.h>

#include "toolkit/system/program_start.h"
#include "toolkit/system/system_libraries.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

// The command line after the program's name (which may be quoted) and the
// blanks behind it, as WinMain receives it.
static char* ArgumentsOf(char* line)
{
    if (*line == '"') {
        for (line++; *line && *line != '"'; line++) {
        }
        if (*line)
            line++;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

// The set of DLL search restrictions the program applies: all of them. A
// build for the tests alone may name fewer, to show what the others keep out
// on systems that lack them; the shipped program is never built so.
#ifndef UPDATE_DLL_SEARCH
#define UPDATE_DLL_SEARCH DllSearchAll
#endif

// Windows starts the program here, on a stack aligned only to 4 bytes in the
// 32-bit build. Ends the process with WinMain's result, as the runtime's
// start-up would.
extern "C" __attribute__((noreturn, no_stack_protector, force_align_arg_pointer)) void
ProgramStart()
{
    RunImageConstructors();
    RestrictDllSearch(UPDATE_DLL_SEARCH);
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    int rc = WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()), show);
    ExitProcess((UINT)rc);
}
