#pragma once
// Processor identification, the processor clock and the millisecond clock.
// CpuInfo is zero until DetectCpu runs, so that every copy and pixel routine
// takes its plain path; DetectCpu and MeasureCpuClock must have finished
// before another thread reads the record.

#include <stdint.h>

struct CpuInfoRecord {
    uint32_t max_std_query;  // highest standard query (query 0, EAX)
    uint32_t max_ext_query;  // highest extended query (query 0x80000000, EAX)
    char vendor[13];         // query 0's EBX, EDX, ECX as 12 characters, then 0
    char brand[49];          // queries 0x80000002 to 0x80000004 as 48 characters, then 0
    int32_t cpu_type;        // query 1 EAX bits 12-13
    int32_t family;          // query 1 EAX bits 8-11
    int32_t model;           // query 1 EAX bits 4-7
    int32_t stepping;        // query 1 EAX bits 0-3
    int32_t has_cpuid;       // the identification instruction exists
    int32_t has_fpu;         // query 1 EDX bit 0
    int32_t has_tsc;         // query 1 EDX bit 4: time-stamp counter
    int32_t has_msr;         // query 1 EDX bit 5
    int32_t has_cmov;        // query 1 EDX bit 15
    int32_t has_mmx;         // query 1 EDX bit 23
    int32_t has_3dnow;       // query 0x80000001 EDX bit 31
    int32_t has_mmx_ext;     // query 0x80000001 EDX bit 22 where that query exists, else has_sse
    int32_t has_sse;         // query 1 EDX bit 25
    int32_t has_3dnow_ext;   // query 0x80000001 EDX bit 30
    int32_t has_sse2;        // query 1 EDX bit 26
    int32_t clock_mhz;       // processor clock from MeasureCpuClock; 0 until measured
};

// The program's one processor record, zero at start. Every flag is 0 or 1.
extern CpuInfoRecord CpuInfo;

// What the operating system supports of the processor's SSE and SSE2: it must
// save the SSE registers on every task switch, and where it does not
// (Windows 95 and NT 4) the processor refuses SSE instructions. Each is 0 or
// 1; 0 until DetectCpu runs. The copies and pixel routines use an SSE or SSE2
// tier only when both CpuInfo and this record allow it.
struct CpuSystemRecord {
    int32_t sse;   // IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE)
    int32_t sse2;  // IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE)
};
extern CpuSystemRecord CpuSystem;

// Runs one query of the identification instruction and stores EAX, EBX, ECX
// and EDX in regs; returns 0, storing nothing, when the processor has no such
// instruction (bit 21 of the flags register cannot be inverted).
typedef int (*CpuQueryFunction)(uint32_t query, uint32_t regs[4]);
int RunCpuQuery(uint32_t query, uint32_t regs[4]);
// The query DetectCpu runs: RunCpuQuery, unless a test puts another in its place.
extern CpuQueryFunction CpuQuery;

// Fills CpuInfo from the processor's identification queries; leaves it as it
// was when the processor has none. clock_mhz is left alone. Also fills
// CpuSystem from IsProcessorFeaturePresent, looked up at run time: a system
// without that function (Windows 95) supports neither.
void DetectCpu();

// When has_tsc is 1, busy-waits at least 500 ms and stores the time-stamp
// counter's rate in MHz in clock_mhz (0 when the counter did not move forward).
void MeasureCpuClock();

// The platform's millisecond clock (timeGetTime): unsigned, wrapping.
uint32_t GetTimeMs();
