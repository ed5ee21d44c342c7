#include "toolkit/data/block_copy.h"
#include "toolkit/data/pixel_rows.h"

#include <string.h>
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"
#include "tests/toolkit/data/cpu_flags.h"

// Every path of the two copies, forced by the flags; units: whether the path
// copies whole units itself to a 16-byte aligned and to an unaligned
// destination, instead of handing the whole block to memcpy.
static const struct CopyPath {
    const char* name;
    void (*copy)(void*, const void*, int32_t);
    PathFlags flags;
    bool units_aligned, units_unaligned;
} Paths[] = {
    {"fast, no flags", CopyBlockFast, {0, 0, 0, 0, 0}, false, false},
    {"fast, SSE", CopyBlockFast, {0, 1, 0, 0, 0}, true, true},
    {"streamed, SSE2 and SSE", CopyBlockStreamed, {1, 1, 0, 1, 0}, true, true},
    {"streamed, SSE2 alone", CopyBlockStreamed, {1, 0, 0, 0, 0}, true, false},
    {"streamed, MMX extensions", CopyBlockStreamed, {0, 0, 1, 1, 0}, true, true},
    {"streamed, MMX and 3DNow!", CopyBlockStreamed, {0, 0, 0, 1, 1}, true, true},
    {"streamed, MMX alone", CopyBlockStreamed, {0, 0, 0, 1, 0}, false, false},
};

static const size_t Guard = 64;

// Copies count bytes (negative: none) to dst, which has Guard bytes either
// side; true when dst then equals the source and no guard byte changed.
static bool CopyIsExact(const CopyPath& path, unsigned char* dst, const unsigned char* src,
                        int32_t count)
{
    size_t n = count > 0 ? (size_t)count : 0;
    memset(dst - Guard, 0xA5, n + 2 * Guard);
    path.copy(dst, src, count);
    static const std::vector<unsigned char> guard(Guard, 0xA5);
    return memcmp(dst, src, n) == 0 && memcmp(dst - Guard, guard.data(), Guard) == 0 &&
           memcmp(dst + n, guard.data(), Guard) == 0 && X87Free();
}

// The sources lie before a page that cannot be read: small copies from every
// alignment, and from a source that ends exactly at that page for every
// count, so that reading past the count faults for small counts too.
TEST(BlockCopy, EveryPathEveryAlignmentAndSize)
{
    const size_t big = 3 << 20, area = big + 4096;
    unsigned char* fenced = (unsigned char*)VirtualAlloc(nullptr, area + 4096, MEM_RESERVE | MEM_COMMIT,
                                                         PAGE_READWRITE);
    DWORD old;
    ASSERT_TRUE(fenced && VirtualProtect(fenced + area, 4096, PAGE_NOACCESS, &old));
    for (size_t i = 0; i < area; i++)
        fenced[i] = (unsigned char)(i * 131 + i / 977);
    unsigned char* end = fenced + area;
    std::vector<unsigned char> target(big + 64 + 2 * Guard);
    unsigned char* dst16 = target.data() + Guard + (16 - (uintptr_t)(target.data() + Guard) % 16) % 16;
    for (const CopyPath& path : Paths) {
        if (!ProcessorRuns(path.flags, path.name))
            continue;
        ForcedPath forced(path.flags);
        for (int sa = 0; sa < 16; sa++)
            for (int da = 0; da < 16; da++)
                for (int32_t count = -1; count <= 300; count++)
                    ASSERT_TRUE(CopyIsExact(path, dst16 + da, end - 320 + sa, count))
                        << path.name << ": source alignment " << sa << ", destination alignment "
                        << da << ", count " << count;
        for (int da = 0; da < 16; da++)
            for (int32_t count = 0; count <= 300; count++)
                ASSERT_TRUE(CopyIsExact(path, dst16 + da, end - count, count))
                    << path.name << ": source ending at the page, destination alignment " << da
                    << ", count " << count;
        // Remainders of 29, 0 and 7 bytes, sources at alignments 3, 0 and 9.
        for (size_t count : {big + 29, big + 32, big + 7})
            for (int da : {0, 8})
                EXPECT_TRUE(CopyIsExact(path, dst16 + da, end - count, (int32_t)count))
                    << path.name << ", count " << count << ", destination alignment " << da;
        EXPECT_TRUE(CopyIsExact(path, dst16, end, INT32_MIN)) << path.name;
    }
    VirtualFree(fenced, 0, MEM_RELEASE);
}

// The largest block that the copy under test hands to memcpy.
static size_t LargestMemcpy;
static void*(__cdecl* RealMemcpy)(void*, const void*, size_t);
static void* __cdecl WatchedMemcpy(void* dst, const void* src, size_t n)
{
    LargestMemcpy = n > LargestMemcpy ? n : LargestMemcpy;
    return RealMemcpy(dst, src, n);
}

// A path that copies units leaves memcpy at most a remainder of fewer than 32
// bytes (which the compiler may even copy inline).
TEST(BlockCopy, FlagsReachEveryTier)
{
    alignas(16) static unsigned char src[1100], dst[1100];
    for (const CopyPath& path : Paths) {
        if (!ProcessorRuns(path.flags, path.name))
            continue;
        ForcedPath forced(path.flags);
        for (int da : {0, 4}) {
            LargestMemcpy = 0;
            ASSERT_EQ(1, HookImport("msvcrt.dll", "memcpy", (void*)WatchedMemcpy, (void**)&RealMemcpy));
            path.copy(dst + da, src + 1, 1021);
            RestoreImport((void*)WatchedMemcpy, (void*)RealMemcpy);
            EXPECT_EQ((da ? path.units_unaligned : path.units_aligned), LargestMemcpy < 32)
                << path.name << ", destination alignment " << da;
        }
    }
}

// Which instructions each processor and system gets. The SSE and SSE2 tiers
// need the system's support (Windows 95 and NT 4 do not save the SSE
// registers); movntq, prefetcht0 and sfence need SSE or the MMX extensions,
// which some processors with extended 3DNow! lack.
TEST(Tiers, EveryProcessorAndSystem)
{
    enum { MMX = 1, THREE_DNOW = 2, MMX_EXT = 4, THREE_DNOW_EXT = 8, SSE = 16, SSE2 = 32 };
    static const struct {
        int flags, system;  // processor flags; system support: SSE, SSE2 bits
        int fast_aligned, fast_unaligned, streamed_aligned, streamed_unaligned, fill, expand;
    } Rows[] = {
        {0, SSE | SSE2, CopyMemcpy, CopyMemcpy, CopyMemcpy, CopyMemcpy, PixelPlain, PixelPlain},
        {MMX, 0, CopyMemcpy, CopyMemcpy, CopyMemcpy, CopyMemcpy, PixelMmx, PixelPlain},
        {MMX | THREE_DNOW, 0, CopyMmx, CopyMmx, CopyMmx, CopyMmx, PixelMmx, PixelPlain},
        {MMX | MMX_EXT, 0, CopyMmxStreamed, CopyMmxStreamed, CopyMmxStreamed, CopyMmxStreamed,
         PixelMmx, PixelMmxStreamed},
        {MMX | THREE_DNOW | MMX_EXT | THREE_DNOW_EXT, 0, CopyMmxStreamed, CopyMmxStreamed,
         CopyMmxStreamed, CopyMmxStreamed, PixelMmx, PixelMmxStreamed},
        {MMX | THREE_DNOW | THREE_DNOW_EXT, 0, CopyMmx, CopyMmx, CopyMmx, CopyMmx, PixelMmx,
         PixelPlain},
        {MMX | MMX_EXT | SSE, 0, CopyMmxStreamed, CopyMmxStreamed, CopyMmxStreamed,
         CopyMmxStreamed, PixelMmx, PixelMmxStreamed},
        {MMX | MMX_EXT | SSE, SSE, CopySse, CopySse, CopyMmxStreamed, CopyMmxStreamed, PixelMmx,
         PixelMmxStreamed},
        {MMX | MMX_EXT | SSE | SSE2, 0, CopyMmxStreamed, CopyMmxStreamed, CopyMmxStreamed,
         CopyMmxStreamed, PixelMmx, PixelMmxStreamed},
        {MMX | MMX_EXT | SSE | SSE2, SSE, CopySse, CopySse, CopyMmxStreamed, CopyMmxStreamed,
         PixelMmx, PixelMmxStreamed},
        {MMX | MMX_EXT | SSE | SSE2, SSE | SSE2, CopySse, CopySse, CopySse2, CopyMmxStreamed,
         PixelMmx, PixelMmxStreamed},
    };
    for (const auto& row : Rows) {
        CpuInfoRecord cpu = {};
        cpu.has_mmx = (row.flags & MMX) != 0;
        cpu.has_3dnow = (row.flags & THREE_DNOW) != 0;
        cpu.has_mmx_ext = (row.flags & MMX_EXT) != 0;
        cpu.has_3dnow_ext = (row.flags & THREE_DNOW_EXT) != 0;
        cpu.has_sse = (row.flags & SSE) != 0;
        cpu.has_sse2 = (row.flags & SSE2) != 0;
        const CpuSystemRecord system = {(row.system & SSE) != 0, (row.system & SSE2) != 0};
        SCOPED_TRACE(testing::Message() << "processor flags 0x" << std::hex << row.flags
                                        << ", system 0x" << row.system);
        EXPECT_EQ(row.fast_aligned, FastCopyTier(cpu, system, 1));
        EXPECT_EQ(row.fast_unaligned, FastCopyTier(cpu, system, 0));
        EXPECT_EQ(row.streamed_aligned, StreamedCopyTier(cpu, system, 1));
        EXPECT_EQ(row.streamed_unaligned, StreamedCopyTier(cpu, system, 0));
        EXPECT_EQ(row.fill, FillTier(cpu));
        EXPECT_EQ(row.expand, ExpandTier(cpu));
    }
}
