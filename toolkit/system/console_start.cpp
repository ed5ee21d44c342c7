// The entry point of a console program built from the toolkit (makepatch),
// in place of the C runtime's start-up code, which comes prebuilt for the
// Pentium Pro (CMOV on every start) and would stop a Pentium, a Pentium MMX
// or a K6 before main. The C library (msvcrt.dll) initialises itself when it
// is loaded; the program reads its command line through the system, so
// nothing else of that start-up is needed.
#include <windows.h>

#include "toolkit/system/program_start.h"

int main();

// GCC calls __main first thing in main, for the runtime to run the static
// constructors; the runtime's own __main would also bring in its pseudo
// relocation and exit handling, prebuilt for the Pentium Pro. This one runs
// them, once.
extern "C" void __main(void)
{
    RunImageConstructors();
}

// The constructors run here, before main's frame exists, so that the stack
// guard's seed changes no canary that a live frame holds. Ends the process
// with main's result.
extern "C" __attribute__((noreturn, no_stack_protector, force_align_arg_pointer)) void
ConsoleProgramStart()
{
    RunImageConstructors();
    ExitProcess((UINT)main());
}
