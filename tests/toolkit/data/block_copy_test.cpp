#include "toolkit/data/block_copy.h"

#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"
#include "tests/toolkit/data/cpu_flags.h"

typedef void (*CopyFunction)(void*, const void*, int32_t);

// Every path of the two copies, forced through CpuInfo's flags. unit is the
// size of the units that the accelerated tier copies to a 16-byte aligned and
// to an unaligned destination; 0 means the whole block goes to memcpy.
struct CopyPath {
    const char* name;
    CopyFunction copy;
    PathFlags flags;
    size_t unit_aligned, unit_unaligned;
};
static const CopyPath Paths[] = {
    {"fast, no flags", CopyBlockFast, {0, 0, 0, 0, 0}, 0, 0},
    {"fast, SSE", CopyBlockFast, {0, 1, 0, 0, 0}, 16, 16},
    {"streamed, SSE2 and SSE", CopyBlockStreamed, {1, 1, 0, 1, 0}, 32, 16},
    {"streamed, SSE2 alone", CopyBlockStreamed, {1, 0, 0, 0, 0}, 32, 0},
    {"streamed, SSE", CopyBlockStreamed, {0, 1, 0, 1, 0}, 16, 16},
    {"streamed, extended 3DNow!", CopyBlockStreamed, {0, 0, 1, 1, 0}, 16, 16},
    {"streamed, MMX and 3DNow!", CopyBlockStreamed, {0, 0, 0, 1, 1}, 16, 16},
    {"streamed, MMX alone", CopyBlockStreamed, {0, 0, 0, 1, 0}, 0, 0},
};

static const size_t Guard = 64;
static const unsigned char GuardByte = 0xA5;

static void FillRandom(unsigned char* p, size_t n, uint32_t seed)
{
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        p[i] = (unsigned char)(seed >> 16);
    }
}

// Copies count bytes to dst, whose Guard bytes either side hold GuardByte;
// true when the block equals the source and no guard byte changed.
static bool CopyIsExact(const CopyPath& path, unsigned char* dst, const unsigned char* src,
                        size_t count)
{
    memset(dst - Guard, GuardByte, count + 2 * Guard);
    path.copy(dst, src, (int32_t)count);
    if (memcmp(dst, src, count) != 0)
        return false;
    for (size_t i = 0; i < Guard; i++)
        if (dst[-1 - (ptrdiff_t)i] != GuardByte || dst[count + i] != GuardByte)
            return false;
    return true;
}

TEST(BlockCopy, EveryPathCopiesSmallBlocksAtEveryAlignment)
{
    alignas(16) static unsigned char src[16 + 320];
    alignas(16) static unsigned char dst[Guard + 16 + 320 + Guard];
    FillRandom(src, sizeof src, 11);
    for (const CopyPath& path : Paths) {
        ForcedPath forced(path.flags);
        for (int sa = 0; sa < 16; sa++)
            for (int da = 0; da < 16; da++)
                for (size_t count = 0; count <= 300; count++)
                    if (!CopyIsExact(path, dst + Guard + da, src + sa, count)) {
                        ADD_FAILURE() << path.name << ": source alignment " << sa
                                      << ", destination alignment " << da << ", count " << count;
                        goto next_path;
                    }
    next_path:;
    }
}

// Memory whose last readable byte is followed by a page that cannot be read:
// a source that ends there proves that no tier reads past its end.
struct FencedBlock {
    unsigned char* base = nullptr;
    size_t size = 0;
    explicit FencedBlock(size_t readable)
    {
        size = (readable + 4095) / 4096 * 4096;
        base = (unsigned char*)VirtualAlloc(nullptr, size + 4096, MEM_RESERVE | MEM_COMMIT,
                                            PAGE_READWRITE);
        DWORD old;
        if (base)
            VirtualProtect(base + size, 4096, PAGE_NOACCESS, &old);
    }
    ~FencedBlock() { VirtualFree(base, 0, MEM_RELEASE); }
    unsigned char* End() const { return base + size; }
};

TEST(BlockCopy, EveryPathCopiesMebibytesWithinTheBlocks)
{
    const size_t big = 3 << 20;
    FencedBlock source(big + 64);
    std::vector<unsigned char> target(big + 64 + 2 * Guard);
    ASSERT_NE(nullptr, source.base);
    FillRandom(source.base, source.size, 29);
    // The remainders differ for 16- and 32-byte units; the sources end
    // right before the unreadable page, at alignments 3, 0 and 9.
    const size_t counts[] = {big + 29, big + 32, big + 7};
    for (const CopyPath& path : Paths) {
        ForcedPath forced(path.flags);
        for (size_t count : counts)
            for (size_t da : {0, 8}) {
                uintptr_t start = (uintptr_t)(target.data() + Guard);
                unsigned char* dst = target.data() + Guard + (16 - start % 16) % 16 + da;
                EXPECT_TRUE(CopyIsExact(path, dst, source.End() - count, count))
                    << path.name << ", count " << count << ", destination alignment " << da;
            }
    }
}

// The block sizes that the copy under test hands to memcpy.
static std::vector<size_t> MemcpySizes;
static void*(__cdecl* RealMemcpy)(void*, const void*, size_t);
static void* __cdecl CountedMemcpy(void* dst, const void* src, size_t n)
{
    MemcpySizes.push_back(n);
    return RealMemcpy(dst, src, n);
}

// The flags choose the tier: an accelerated tier leaves memcpy at most the
// remainder after its last whole unit (which the compiler may copy inline),
// a plain one the whole block.
TEST(BlockCopy, FlagsChooseTheTier)
{
    alignas(16) static unsigned char src[1100], dst[1100];
    const size_t count = 1021;
    for (const CopyPath& path : Paths) {
        ForcedPath forced(path.flags);
        for (size_t da : {0, 4}) {
            size_t unit = da ? path.unit_unaligned : path.unit_aligned;
            MemcpySizes.clear();
            MemcpySizes.reserve(8);  // no allocation, hence no memcpy, inside the hook
            ASSERT_EQ(1, HookImport("msvcrt.dll", "memcpy", (void*)CountedMemcpy, (void**)&RealMemcpy));
            path.copy(dst + da, src + 1, (int32_t)count);
            RestoreImport((void*)CountedMemcpy, (void*)RealMemcpy);
            size_t largest = 0;
            for (size_t n : MemcpySizes)
                largest = n > largest ? n : largest;
            if (unit)
                EXPECT_LT(largest, unit) << path.name << ", destination alignment " << da;
            else
                EXPECT_EQ(count, largest) << path.name << ", destination alignment " << da;
        }
    }
}

TEST(BlockCopy, NegativeCountCopiesNothing)
{
    unsigned char src[64], dst[64];
    memset(src, 1, sizeof src);
    for (const CopyPath& path : Paths) {
        ForcedPath forced(path.flags);
        memset(dst, GuardByte, sizeof dst);
        path.copy(dst, src, -1);
        path.copy(dst, src, INT32_MIN);
        EXPECT_EQ(0, memcmp(dst, std::vector<unsigned char>(64, GuardByte).data(), 64)) << path.name;
    }
}
