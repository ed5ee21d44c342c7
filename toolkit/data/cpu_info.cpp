#include "toolkit/data/cpu_info.h"

#include <cpuid.h>
#include <stdint.h>
#include <string.h>
#include <windows.h>
#include <x86intrin.h>

CpuInfoRecord CpuInfo;
CpuSystemRecord CpuSystem;
CpuQueryFunction CpuQuery = RunCpuQuery;

// Bit 21 of the flags register can be inverted exactly when the processor
// has the identification instruction (the 80486 and later). The flags are
// put back as they were.
static int IdBitToggles()
{
    uintptr_t before, after;
    __asm__ volatile(
        "pushf\n\t"
        "pop %0\n\t"
        "mov %0, %1\n\t"
        "xor $0x200000, %1\n\t"
        "push %1\n\t"
        "popf\n\t"
        "pushf\n\t"
        "pop %1\n\t"
        "push %0\n\t"
        "popf"
        : "=&r"(before), "=&r"(after)
        :
        : "cc");
    return ((before ^ after) & 0x200000) != 0;
}

int RunCpuQuery(uint32_t query, uint32_t regs[4])
{
    if (!IdBitToggles())
        return 0;
    unsigned int a, b, c, d;
    __cpuid(query, a, b, c, d);
    regs[0] = a;
    regs[1] = b;
    regs[2] = c;
    regs[3] = d;
    return 1;
}

static int32_t Bit(uint32_t word, int bit)
{
    return (word >> bit) & 1;
}

// Asks the system whether it supports a processor feature; 0 when it cannot
// say (IsProcessorFeaturePresent missing, as on Windows 95).
static int32_t SystemHasFeature(DWORD feature)
{
    typedef BOOL(WINAPI * FeatureQuery)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FeatureQuery query =
        kernel ? (FeatureQuery)(void*)GetProcAddress(kernel, "IsProcessorFeaturePresent") : nullptr;
    return query && query(feature) ? 1 : 0;
}

void DetectCpu()
{
    CpuSystem.sse = SystemHasFeature(PF_XMMI_INSTRUCTIONS_AVAILABLE);
    CpuSystem.sse2 = SystemHasFeature(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    uint32_t r[4];
    if (!CpuQuery(0, r))
        return;
    CpuInfo.has_cpuid = 1;
    CpuInfo.max_std_query = r[0];
    memcpy(CpuInfo.vendor, &r[1], 4);
    memcpy(CpuInfo.vendor + 4, &r[3], 4);
    memcpy(CpuInfo.vendor + 8, &r[2], 4);
    CpuInfo.vendor[12] = 0;
    if (CpuInfo.max_std_query < 1)
        return;

    // Every later query succeeds where the first one did; a replaced query
    // that refuses one all the same leaves the fields of that query alone.
    if (!CpuQuery(1, r))
        return;
    CpuInfo.stepping = (int32_t)(r[0] & 15);
    CpuInfo.model = (int32_t)((r[0] >> 4) & 15);
    CpuInfo.family = (int32_t)((r[0] >> 8) & 15);
    CpuInfo.cpu_type = (int32_t)((r[0] >> 12) & 3);
    CpuInfo.has_fpu = Bit(r[3], 0);
    CpuInfo.has_tsc = Bit(r[3], 4);
    CpuInfo.has_msr = Bit(r[3], 5);
    CpuInfo.has_cmov = Bit(r[3], 15);
    CpuInfo.has_mmx = Bit(r[3], 23);
    CpuInfo.has_sse = Bit(r[3], 25);
    CpuInfo.has_mmx_ext = CpuInfo.has_sse;
    CpuInfo.has_sse2 = Bit(r[3], 26);

    if (!CpuQuery(0x80000000u, r))
        return;
    CpuInfo.max_ext_query = r[0];
    if (CpuInfo.max_ext_query < 0x80000001u)
        return;
    if (!CpuQuery(0x80000001u, r))
        return;
    CpuInfo.has_mmx_ext = Bit(r[3], 22);  // replaces the SSE bit, as the vendors define it
    CpuInfo.has_3dnow_ext = Bit(r[3], 30);
    CpuInfo.has_3dnow = Bit(r[3], 31);

    if (CpuInfo.max_ext_query < 0x80000004u)
        return;
    for (uint32_t i = 0; i < 3; i++) {
        if (!CpuQuery(0x80000002u + i, r))
            break;
        memcpy(CpuInfo.brand + 16 * i, r, 16);
    }
    CpuInfo.brand[48] = 0;
}

void MeasureCpuClock()
{
    if (!CpuInfo.has_tsc)
        return;
    // Start on a tick of the platform clock, which may advance in steps of
    // up to about 15 ms: then the milliseconds counted below are the time
    // that really passed, and the rate is divided by them, not by a fixed 500.
    DWORD start = timeGetTime();
    DWORD now;
    while ((now = timeGetTime()) == start) {
    }
    start = now;
    uint64_t first = __rdtsc();
    DWORD elapsed;
    do
        elapsed = timeGetTime() - start;
    while (elapsed < 500);
    uint64_t last = __rdtsc();
    // The whole 64-bit counter: its low half wraps within a second on a fast
    // processor, and a busy wait may be stretched by preemption.
    double mhz = last > first ? (double)(last - first) / (elapsed * 1000.0) : 0.0;
    CpuInfo.clock_mhz = mhz < 2147483647.0 ? (int32_t)mhz : 0;
}

uint32_t GetTimeMs()
{
    return timeGetTime();
}
