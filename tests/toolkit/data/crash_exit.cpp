// A crash of this program (an access violation, or the illegal instruction
// that caught undefined behaviour executes) ends it at once with a line on
// stderr, instead of leaving it to Wine's debugger, whose crash dialog waits
// for a click that never comes under a virtual display.
#include <stdio.h>
#include <windows.h>

static LONG WINAPI ExitOnCrash(EXCEPTION_POINTERS* info)
{
    fprintf(stderr, "crashed: exception %08lx at %p\n",
            (unsigned long)info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[maybe_unused]] static const LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter =
    SetUnhandledExceptionFilter(ExitOnCrash);
