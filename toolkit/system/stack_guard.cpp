#include "toolkit/system/stack_guard.h"

#include <windows.h>

uintptr_t __stack_chk_guard = 0;  // C linkage from the header

// Murmur's finaliser: every input bit reaches every output bit.
static uint32_t Mix(uint32_t h)
{
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    return h ^ (h >> 16);
}

// The seeding runs before any protected frame it could invalidate, and its
// own frame holds no canary.
__attribute__((no_stack_protector)) void SeedStackGuard()
{
    if (__stack_chk_guard != 0)
        return;
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    uintptr_t stack = (uintptr_t)&counter;
    uintptr_t image = (uintptr_t)&__stack_chk_guard;
    uint32_t h = Mix(GetTickCount() ^ 0x9E3779B9u);
    h = Mix(h ^ (uint32_t)counter.LowPart);
    h = Mix(h ^ (uint32_t)counter.HighPart);
    h = Mix(h ^ GetCurrentProcessId());
    h = Mix(h ^ GetCurrentThreadId());
    h = Mix(h ^ (uint32_t)stack);
    uintptr_t guard = Mix(h ^ (uint32_t)image);
    if (sizeof guard > 4)
        guard = guard << 16 << 16 | Mix(h ^ (uint32_t)((uint64_t)stack >> 16 >> 16) ^ 0x7F4A7C15u);
    // The low byte is zero, so that a string overrun cannot copy the canary
    // back; some other byte never is.
    guard &= ~(uintptr_t)0xFF;
    __stack_chk_guard = guard ? guard : (uintptr_t)0x2F5A00;
}

// Seeded before any other constructor, whoever runs the constructor list.
__attribute__((constructor(101), no_stack_protector)) static void SeedAtStart()
{
    SeedStackGuard();
}

// A smashed stack may hold anything: no unwinding, no handler, no message
// box; one trace line and the end.
[[noreturn]] static void EndOverrun(const char* what)
{
    OutputDebugStringA(what);
    TerminateProcess(GetCurrentProcess(), (UINT)STATUS_STACK_BUFFER_OVERRUN);
    for (;;)
        ExitProcess((UINT)STATUS_STACK_BUFFER_OVERRUN);
}

extern "C" void __stack_chk_fail(void)
{
    EndOverrun("stack smashing detected\n");
}

extern "C" void __chk_fail(void)
{
    EndOverrun("buffer overflow detected\n");
}
