// Block copy benchmark: CopyBlockFast and CopyBlockStreamed, with the flags
// that DetectCpu finds, against the C runtime's memcpy in the same run, at
// 256 B to 64 MiB, to a 16-byte aligned destination and to one that is not;
// and against the copy that the 32-bit program would otherwise make: its
// C library on the systems it promises copies with 4-byte string moves
// (rep movsd) and no vector instructions, where this build's memcpy may use
// SSE. Each figure is the best of 5 interleaved rounds that copy about 256 MiB.
#include <stdio.h>
#include <string.h>

#include <initializer_list>
#include <windows.h>

#include "bench/bench_timing.h"
#include "toolkit/data/block_copy.h"
#include "toolkit/data/cpu_info.h"

static const size_t MaxSize = (size_t)64 << 20;
static const size_t BytesPerRound = (size_t)256 << 20;
static const int Rounds = 5;

typedef void (*CopyFunction)(void*, const void*, int32_t);

static void RuntimeCopy(void* dst, const void* src, int32_t count)
{
    memcpy(dst, src, (size_t)count);
}

// 4-byte string moves, then the last 0 to 3 bytes one at a time.
static void StringMoveCopy(void* dst, const void* src, int32_t count)
{
    size_t words = (size_t)count / 4, rest = (size_t)count % 4;
    __asm__ volatile("rep movsl\n\tmov %3, %2\n\trep movsb"
                     : "+D"(dst), "+S"(src), "+c"(words)
                     : "r"(rest)
                     : "memory");
}

static const struct {
    const char* name;
    CopyFunction copy;
} Contenders[] = {
    {"memcpy", RuntimeCopy},
    {"CopyBlockFast", CopyBlockFast},
    {"CopyBlockStreamed", CopyBlockStreamed},
    {"rep movsd", StringMoveCopy},
};
static const int ContenderCount = 4;

// Best seconds of each contender for reps copies of size bytes.
static void Measure(unsigned char* dst, const unsigned char* src, size_t size, size_t reps,
                    double best[])
{
    for (int c = 0; c < ContenderCount; c++)
        best[c] = 0;
    for (int round = 0; round < Rounds; round++)
        for (int c = 0; c < ContenderCount; c++)
            KeepBest(&best[c], [&] {
                for (size_t r = 0; r < reps; r++)
                    Contenders[c].copy(dst, src, (int32_t)size);
            });
}

int main()
{
    DetectCpu();
    printf("processor: %s (%s); sse2 %d, sse %d, extended 3DNow! %d, mmx %d, 3DNow! %d\n",
           CpuInfo.brand, CpuInfo.vendor, CpuInfo.has_sse2, CpuInfo.has_sse,
           CpuInfo.has_3dnow_ext, CpuInfo.has_mmx, CpuInfo.has_3dnow);
    unsigned char* src = (unsigned char*)VirtualAlloc(nullptr, MaxSize + 4096,
                                                      MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    unsigned char* dst = (unsigned char*)VirtualAlloc(nullptr, MaxSize + 4096,
                                                      MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!src || !dst) {
        printf("cannot allocate 2 x 64 MiB\n");
        return 1;
    }
    memset(src, 0x5A, MaxSize + 4096);
    memset(dst, 0, MaxSize + 4096);

    printf("speed ratios (above 1: the toolkit's copy is faster), best of %d rounds\n",
           Rounds);
    printf("%10s %-9s %12s %14s %18s %13s %17s\n", "size", "dst", "memcpy GB/s", "Fast/memcpy",
           "Streamed/memcpy", "Fast/movsd", "Streamed/movsd");
    const size_t sizes[] = {256, 4096, 65536, (size_t)1 << 20, (size_t)8 << 20, MaxSize};
    for (size_t size : sizes)
        for (size_t offset : {0, 1}) {
            size_t reps = BytesPerRound / size;
            double best[ContenderCount];
            Measure(dst + offset, src, size, reps, best);
            double bytes = (double)size * (double)reps;
            printf("%10zu %-9s %12.2f %14.2f %18.2f %13.2f %17.2f\n", size,
                   offset ? "unaligned" : "aligned", bytes / best[0] / 1e9, best[0] / best[1],
                   best[0] / best[2], best[3] / best[1], best[3] / best[2]);
            if (size == MaxSize)
                for (int c = 0; c < ContenderCount; c++)
                    printf("           64 MiB, %s destination: %-17s %6.2f GB/s\n",
                           offset ? "unaligned" : "aligned", Contenders[c].name,
                           bytes / best[c] / 1e9);
        }
    VirtualFree(src, 0, MEM_RELEASE);
    VirtualFree(dst, 0, MEM_RELEASE);
    return 0;
}
