// Prints the stack canary's value as 0x%p; with "overrun N" writes N bytes
// into a 16-byte local buffer through a call the compiler cannot see into, and
// with "checked TEXT" copies TEXT into an 8-byte buffer with strcpy, so that
// the frame's canary check or the checked copy ends the process. The stack
// guard tests start it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "toolkit/system/stack_guard.h"

__attribute__((noinline)) static void Fill(char* p, size_t n)
{
    memset(p, 'x', n);
}

__attribute__((noinline)) static int Overrun(size_t n)
{
    char buf[16];
    Fill(buf, n);
    return buf[3];
}

__attribute__((noinline)) static int Checked(const char* text)
{
    char buf[8];
    strcpy(buf, text);
    return buf[0];
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "overrun") == 0)
        return Overrun((size_t)atoi(argv[2]));
    if (argc == 3 && strcmp(argv[1], "checked") == 0)
        return Checked(argv[2]);
    printf("0x%p\n", (void*)__stack_chk_guard);
    return 0;
}
