#pragma once
// What a program that starts at its own entry point, instead of the C
// runtime's start-up code, must still do before its main function.

// Runs the image's static constructors: the list that the linker builds from
// every object's constructor sections, in GCC's order (lower priority numbers
// first; the stack guard's seed is the first of all). Only the first call
// runs them. Call it first thing, from a frame without a stack canary.
// Nothing runs the destructors: such a program ends with ExitProcess.
void RunImageConstructors();
