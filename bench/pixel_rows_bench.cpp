// Pixel row benchmark, rows of 640 and 4,096 pixels: FillRow16, FillRow24
// and FillRow32 on their MMX path against their plain path and against
// memset of the same number of bytes; ExpandIndexedRow's fast path against
// its plain path. The plain paths run twice: as this build compiles them
// (the x86_64 compiler vectorises their loops into SSE2 stores) and compiled
// without vector instructions, as the 32-bit program built for the 486 has
// them (here with 8-byte general-register stores where that program makes
// 4-byte ones, so that figure flatters the plain path if anything). Each
// figure is the best of 5 interleaved rounds that write about 64 MiB.
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "bench/bench_timing.h"
#include "toolkit/data/cpu_info.h"
#include "toolkit/data/pixel_rows.h"

static const size_t BytesPerRound = (size_t)64 << 20;
static const int Rounds = 5;
static unsigned char Row[4096 * 4 + 64];

typedef int (*FillFunction)(void*, int32_t, uint32_t);

// The same routines compiled without vector instructions (bench/CMakeLists.txt).
int NoVecFillRow16(void* row, int32_t count, uint32_t value);
int NoVecFillRow24(void* row, int32_t count, uint32_t value);
int NoVecFillRow32(void* row, int32_t count, uint32_t value);
void NoVecExpandIndexedRow(void* out, const unsigned char* indices, const unsigned char* palette,
                           int32_t count);

static void SetPaths(int mmx, int fast)
{
    CpuInfo.has_mmx = mmx;
    CpuInfo.has_sse = fast;
    CpuInfo.has_3dnow_ext = 0;
}

static void BenchFill(const char* name, FillFunction fill, FillFunction novec, int bytes,
                      int32_t count)
{
    size_t size = (size_t)count * (size_t)bytes;
    size_t reps = BytesPerRound / size;
    double mmx = 0, plain = 0, plain486 = 0, set = 0;
    for (int round = 0; round < Rounds; round++) {
        SetPaths(1, 0);
        KeepBest(&mmx, [&] {
            for (size_t r = 0; r < reps; r++)
                fill(Row, count, 0x123456);
        });
        SetPaths(0, 0);
        KeepBest(&plain, [&] {
            for (size_t r = 0; r < reps; r++)
                fill(Row, count, 0x123456);
        });
        KeepBest(&plain486, [&] {
            for (size_t r = 0; r < reps; r++)
                novec(Row, count, 0x123456);
        });
        KeepBest(&set, [&] {
            for (size_t r = 0; r < reps; r++)
                memset(Row, (int)(r & 0x7F), size);
        });
    }
    printf("%-10s %5d px %12.2f %13.2f %13.2f %14.2f\n", name, (int)count,
           (double)size * (double)reps / mmx / 1e9, plain / mmx, plain486 / mmx, set / mmx);
}

static void BenchExpand(int32_t count)
{
    static unsigned char palette[1024], indices[4096];
    for (int i = 0; i < 1024; i++)
        palette[i] = (unsigned char)(i * 37 + 11);
    for (int i = 0; i < 4096; i++)
        indices[i] = (unsigned char)(i * 101 + 7);
    size_t reps = BytesPerRound / ((size_t)count * 3);
    double fast = 0, plain = 0, plain486 = 0;
    for (int round = 0; round < Rounds; round++) {
        SetPaths(1, 1);
        KeepBest(&fast, [&] {
            for (size_t r = 0; r < reps; r++)
                ExpandIndexedRow(Row, indices, palette, count);
        });
        SetPaths(1, 0);
        KeepBest(&plain, [&] {
            for (size_t r = 0; r < reps; r++)
                ExpandIndexedRow(Row, indices, palette, count);
        });
        KeepBest(&plain486, [&] {
            for (size_t r = 0; r < reps; r++)
                NoVecExpandIndexedRow(Row, indices, palette, count);
        });
    }
    printf("%-10s %5d px %12.2f %13.2f %13.2f\n", "Expand", (int)count,
           (double)count * 3 * (double)reps / fast / 1e9, plain / fast, plain486 / fast);
}

int main()
{
    printf("speed ratios (above 1: the MMX or fast path is faster), best of %d rounds\n", Rounds);
    printf("%-10s %8s %12s %13s %13s %14s\n", "operation", "row", "fast GB/s", "fast/plain",
           "fast/plain486", "fast/memset");
    for (int32_t count : {640, 4096}) {
        BenchFill("FillRow16", FillRow16, NoVecFillRow16, 2, count);
        BenchFill("FillRow24", FillRow24, NoVecFillRow24, 3, count);
        BenchFill("FillRow32", FillRow32, NoVecFillRow32, 4, count);
        BenchExpand(count);
    }
    return 0;
}
