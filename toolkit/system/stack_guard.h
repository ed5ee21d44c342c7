#pragma once
// The stack canary's value and its failure routines, kept by the program
// itself: the compiler's own library seeds the value through the
// cryptography API, which a Windows 95 without its add-on does not export, so
// that the loader would refuse to start any program that imports it.

#include <stdint.h>

extern "C" {
// The value every protected function puts below its return address.
extern uintptr_t __stack_chk_guard;
// Called by a protected function whose canary changed, and by the checked
// string and memory calls on an overrun: traces one line and ends the process
// at once with STATUS_STACK_BUFFER_OVERRUN (0xC0000409). Never returns.
[[noreturn]] void __stack_chk_fail(void);
[[noreturn]] void __chk_fail(void);
}

// Seeds __stack_chk_guard from what every Windows since 95 and NT 4 offers:
// the tick count, the performance counter, process and thread ids and the
// addresses the loader chose. Only the first call seeds (a later one would
// fail every protected frame still on the stack). Every program gets it from
// its static constructors, the first of them: those of the C runtime's
// start-up, or RunImageConstructors (program_start.h) at a program's own
// entry point.
void SeedStackGuard();
