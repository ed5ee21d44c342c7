// The program's own entry point, in place of the C runtime's start-up code:
// that code comes prebuilt for the Pentium Pro and would stop a Pentium, a
// Pentium MMX or a K6 with an invalid instruction before the first window.
// This one is built like the rest of the program and does only what the
// updater needs before WinMain: the stack canary's seed, the instance
// handle, the command line and the show command. The program has no static
// constructors and uses no thread-local data, so nothing else is set up; the
// C library (msvcrt.dll) initialises itself when it is loaded.
#include <windows.h>
#include <stdlib.h>

#include "toolkit/system/stack_guard.h"
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

// Windows starts the program here, on a stack aligned only to 4 bytes in the
// 32-bit build. Ends the process through the C library's exit with WinMain's
// result, as the runtime's start-up would.
extern "C" __attribute__((noreturn, no_stack_protector, force_align_arg_pointer)) void
ProgramStart()
{
    SeedStackGuard();
    RestrictDllSearch();
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()), show));
}
