#pragma once
// Forces the code paths of the copies and pixel routines on this machine's
// processor: sets CpuInfo's path flags by hand for the life of the object,
// then puts the whole record back. A path is forced only where the processor
// runs it: the suite also runs on emulated processors that lack some tiers.

#include <stdio.h>

#include <gtest/gtest.h>

#include "tests/toolkit/data/refused_fence.h"
#include "toolkit/data/cpu_info.h"

struct PathFlags {
    int sse2, sse, mmx_ext, mmx, three_dnow;
};

// Sets the path flags, and the system's SSE support as the processor's, for
// the life of the object.
class ForcedPath {
public:
    explicit ForcedPath(const PathFlags& flags) : saved_(CpuInfo), saved_system_(CpuSystem)
    {
        CpuSystem.sse = flags.sse;
        CpuSystem.sse2 = flags.sse2;
        CpuInfo.has_sse2 = flags.sse2;
        CpuInfo.has_sse = flags.sse;
        CpuInfo.has_mmx_ext = flags.mmx_ext;
        CpuInfo.has_mmx = flags.mmx;
        CpuInfo.has_3dnow = flags.three_dnow;
    }
    ~ForcedPath()
    {
        CpuInfo = saved_;
        CpuSystem = saved_system_;
    }

private:
    CpuInfoRecord saved_;
    CpuSystemRecord saved_system_;
};

// Whether this processor (DetectCpu), and for SSE and SSE2 the system too,
// runs the instructions of the path that the flags force: the instructions
// of the MMX extensions come with SSE as well, and 3DNow! only chooses a
// path of MMX moves. Names the path skipped when not.
inline bool ProcessorRuns(const PathFlags& flags, const char* path)
{
    const CpuInfoRecord saved = CpuInfo;
    const CpuSystemRecord saved_system = CpuSystem;
    DetectCpu();
    const CpuInfoRecord& cpu = CpuInfo;
    const char* missing = flags.sse2 && !(cpu.has_sse2 && CpuSystem.sse2) ? "SSE2"
                          : flags.sse && !(cpu.has_sse && CpuSystem.sse) ? "SSE"
                          : flags.mmx_ext && !(cpu.has_mmx_ext || cpu.has_sse) ? "MMX extensions"
                          : flags.mmx && !cpu.has_mmx                          ? "MMX"
                                                                               : nullptr;
    CpuInfo = saved;
    CpuSystem = saved_system;
    if (missing)
        printf("Path not run on this processor: %s (no %s)\n", path, missing);
    return !missing;
}

// Success when the x87 registers are all empty (tag word 0xFFFF, read with
// fnstenv), as every MMX path must leave them with emms, and x87 arithmetic
// still computes: an MMX path that forgets emms leaves every register in use,
// and the next x87 load then overflows the stack into a NaN. The x86_64
// build keeps its doubles in SSE registers, so only the tag word shows it
// there.
inline testing::AssertionResult X87Free()
{
    unsigned char env[28];  // the 32-bit protected-mode environment
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));
    unsigned tags = env[8] | env[9] << 8;
    volatile long double a = 1.5L, b = 3.0L;
    long double product = a * b;
    volatile double half = 0.5;
    double sum = half + half;
    if (tags != 0xFFFF || product != 4.5L || sum != 1.0)
        return testing::AssertionFailure() << "x87 tag word 0x" << std::hex << tags << std::dec
                                           << ", 1.5 * 3 = " << (double)product << ", 0.5 + 0.5 = " << sum;
    return testing::AssertionSuccess();
}
