// Runs the copies and the pixel routines as a program does, on the tiers that
// DetectCpu chooses for the processor it runs on, and checks each result
// against the plainest loops. Prints what DetectCpu found and the tiers
// chosen before running them, then "every case right"; exit code 0 only when
// every case was right. The i686 suite runs it on emulated processors of each
// class that the tiers tell apart.
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "tests/toolkit/data/refused_fence.h"
#include "tests/toolkit/data/row_reference.h"
#include "toolkit/data/block_copy.h"
#include "toolkit/data/cpu_info.h"
#include "toolkit/data/pixel_rows.h"

// Counts around each tier's units (8, 16, 24 and 32 bytes) and beyond the
// prefetch distance; the source's and the destination's distance past a
// 16-byte boundary.
static const struct {
    int32_t count;
    int src, dst;
} Cases[] = {
    {0, 0, 0},   {1, 0, 0},   {7, 1, 3},    {8, 0, 0},    {15, 0, 8},     {16, 0, 0},
    {17, 4, 0},  {24, 8, 1},  {31, 0, 0},   {32, 0, 0},   {33, 3, 4},     {63, 15, 15},
    {64, 0, 8},  {100, 0, 0}, {1000, 5, 0}, {4103, 0, 0}, {65536, 9, 12},
};
static const int32_t MaxCount = 65536;
static const size_t Guard = 16;
static const char* const CopyTierNames[] = {"memcpy", "mmx", "mmx-streamed", "sse", "sse2"};
static const char* const PixelTierNames[] = {"plain", "mmx", "mmx-streamed"};

alignas(16) static unsigned char Source[MaxCount + 32], Palette[1024];
alignas(16) static unsigned char Out[4 * MaxCount + 64], Want[4 * MaxCount + 64];
static int Wrong;

// Out with n bytes at offset past a 16-byte boundary and Guard bytes of 0xA5
// either side.
static unsigned char* Target(int offset, size_t n)
{
    memset(Out, 0xA5, Guard + offset + n + Guard);
    return Out + Guard + offset;
}

// Counts and names a case whose row differs from want or whose guards changed.
static void Expect(const char* what, int32_t count, int offset, const unsigned char* want, size_t n)
{
    const unsigned char* row = Out + Guard + offset;
    bool guards = true;
    for (size_t i = 1; i <= Guard; i++)
        guards = guards && row[-(ptrdiff_t)i] == 0xA5 && row[n - 1 + i] == 0xA5;
    if (memcmp(row, want, n) != 0 || !guards) {
        printf("wrong: %s, count %ld, destination %d past a 16-byte boundary\n", what, (long)count,
               offset);
        Wrong++;
    }
}

// An illegal instruction ends the probe at once, named, instead of waiting in
// Wine's debugger.
static LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info)
{
    printf("unhandled exception 0x%08lx\n", info->ExceptionRecord->ExceptionCode);
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

int main()
{
    SetUnhandledExceptionFilter(EndAtOnce);
    DetectCpu();
    const CpuInfoRecord& c = CpuInfo;
    const char* model = getenv("QEMU_CPU");
    printf("processor (QEMU_CPU %s): %s family %d model %d \"%s\"\n", model ? model : "unset",
           c.vendor, (int)c.family, (int)c.model, c.brand);
    printf("flags:%s%s%s%s%s%s%s%s%s\n", c.has_cmov ? " cmov" : "", c.has_mmx ? " mmx" : "",
           c.has_mmx_ext ? " mmxext" : "", c.has_3dnow ? " 3dnow" : "",
           c.has_3dnow_ext ? " 3dnowext" : "", c.has_sse ? " sse" : "", c.has_sse2 ? " sse2" : "",
           CpuSystem.sse ? " system-sse" : "", CpuSystem.sse2 ? " system-sse2" : "");
    printf("tiers: fast %s/%s, streamed %s/%s, fill %s, expand %s\n",
           CopyTierNames[FastCopyTier(c, CpuSystem, 1)], CopyTierNames[FastCopyTier(c, CpuSystem, 0)],
           CopyTierNames[StreamedCopyTier(c, CpuSystem, 1)],
           CopyTierNames[StreamedCopyTier(c, CpuSystem, 0)], PixelTierNames[FillTier(c)],
           PixelTierNames[ExpandTier(c)]);
    fflush(stdout);

    for (size_t i = 0; i < sizeof Source; i++)
        Source[i] = (unsigned char)(i * 131 + i / 977);
    for (size_t i = 0; i < sizeof Palette; i++)
        Palette[i] = (unsigned char)(i * 29 + 7);
    const uint32_t value = 0x8C4B2A19;
    const struct {
        const char* name;
        int (*fill)(void*, int32_t, uint32_t);
        int bytes;
    } Fills[] = {{"FillRow16", FillRow16, 2}, {"FillRow24", FillRow24, 3}, {"FillRow32", FillRow32, 4}};
    for (const auto& k : Cases) {
        const unsigned char* src = Source + k.src;
        size_t n = (size_t)k.count;
        CopyBlockFast(Target(k.dst, n), src, k.count);
        Expect("CopyBlockFast", k.count, k.dst, src, n);
        CopyBlockStreamed(Target(k.dst, n), src, k.count);
        Expect("CopyBlockStreamed", k.count, k.dst, src, n);
        for (const auto& f : Fills) {
            ReferenceFill(Want, k.count, f.bytes, value);
            f.fill(Target(k.dst, n * f.bytes), k.count, value);
            Expect(f.name, k.count, k.dst, Want, n * f.bytes);
        }
        ReferenceExpand(Want, src, Palette, k.count);
        ExpandIndexedRow(Target(k.dst, n * 3), src, Palette, k.count);
        Expect("ExpandIndexedRow", k.count, k.dst, Want, n * 3);
    }
    if (Wrong)
        printf("%d cases wrong\n", Wrong);
    else
        printf("every case right\n");
    return Wrong ? 1 : 0;
}
