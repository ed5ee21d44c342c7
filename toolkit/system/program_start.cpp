#include "toolkit/system/program_start.h"

#include <stddef.h>

// The linker's constructor list: -1, the constructors, then 0. The runtime's
// own routine runs it from the last entry to the first, and so does this one.
extern "C" void (*__CTOR_LIST__[])(void);

__attribute__((no_stack_protector)) void RunImageConstructors()
{
    static int done;
    if (done)
        return;
    done = 1;
    size_t count = 0;
    while (__CTOR_LIST__[count + 1])
        count++;
    for (; count; count--)
        __CTOR_LIST__[count]();
}
