#pragma once
// The moves of the MMX paths, which must run on every processor with MMX,
// including those with only the extended MMX of 3DNow! (no SSE): an 8-byte
// load and store through an MMX register, the MMX streaming store, the
// prefetch hint and the store fence. Each is written as its one instruction,
// so that the compiler can neither keep the data in general registers nor
// choose an XMM register or the 3DNow!-only prefetch. Callers are compiled
// with MmxTier and leave the MMX state empty (_mm_empty) before returning.

#include <mmintrin.h>
#include <stdint.h>

#define MmxTier __attribute__((target("mmx")))
#define MmxMove static inline __attribute__((always_inline, target("mmx")))

// Loads 8 bytes from p (any alignment) into an MMX register.
MmxMove __m64 MmxLoad(const void* p)
{
    __m64 v;
    __asm__("movq %1, %0" : "=y"(v) : "m"(*(const __m64_u*)p));
    return v;
}

// Stores v at p (any alignment) with an ordinary MMX store.
MmxMove void MmxStore(void* p, __m64 v)
{
    __asm__ volatile("movq %1, %0" : "=m"(*(__m64_u*)p) : "y"(v));
}

// Stores v at p (any alignment) past the caches (movntq).
MmxMove void MmxStream(void* p, __m64 v)
{
    __asm__ volatile("movntq %1, %0" : "=m"(*(__m64_u*)p) : "y"(v));
}

// Hints that the line at address will be read soon, into all cache levels
// (prefetcht0). The address need not be readable: a prefetch never faults.
MmxMove void PrefetchT0(uintptr_t address)
{
    __asm__ volatile("prefetcht0 (%0)" : : "r"(address));
}

// Orders every earlier streaming store before any later store (sfence).
MmxMove void StoreFence()
{
    __asm__ volatile("sfence" : : : "memory");
}
