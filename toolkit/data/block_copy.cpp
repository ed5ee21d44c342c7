#include "toolkit/data/block_copy.h"

#include <emmintrin.h>
#include <stddef.h>
#include <string.h>
#include <xmmintrin.h>

#include "toolkit/data/cpu_info.h"
#include "toolkit/data/mmx_moves.h"

// How far ahead of the next unit the streamed tiers prefetch the source.
static const uintptr_t PrefetchDistance = 2048;

static int Aligned16(const void* p)
{
    return ((uintptr_t)p & 15) == 0;
}

// Aligned loads. This compiler emits the unaligned forms (movups, movdqu)
// even for loads it knows to be aligned, and older processors run those
// slower; the aligned forms are written out here instead.
__attribute__((always_inline, target("sse"))) static inline __m128 LoadAligned(const void* p)
{
    __m128 v;
    __asm__("movaps %1, %0" : "=x"(v) : "m"(*(const __m128*)p));
    return v;
}

__attribute__((always_inline, target("sse2"))) static inline __m128i LoadAlignedInt(const void* p)
{
    __m128i v;
    __asm__("movdqa %1, %0" : "=x"(v) : "m"(*(const __m128i*)p));
    return v;
}

// Each tier copies whole units and is compiled for exactly its own
// instruction set, so that the 32-bit program, built for processors without
// SSE, runs on them all.

__attribute__((target("mmx,sse"))) static void CopyUnitsSse(unsigned char* dst,
                                                           const unsigned char* src, size_t units)
{
    float* d = (float*)dst;
    const float* s = (const float*)src;
    if (!Aligned16(dst)) {
        if (!Aligned16(src))
            for (; units; units--, d += 4, s += 4)
                _mm_storeu_ps(d, _mm_loadu_ps(s));
        else
            for (; units; units--, d += 4, s += 4)
                _mm_storeu_ps(d, LoadAligned(s));
    } else {
        if (!Aligned16(src))
            for (; units; units--, d += 4, s += 4)
                _mm_stream_ps(d, _mm_loadu_ps(s));
        else
            for (; units; units--, d += 4, s += 4)
                _mm_stream_ps(d, LoadAligned(s));
    }
    _mm_empty();
    _mm_sfence();
}

// dst is 16-byte aligned.
__attribute__((target("sse2"))) static void CopyUnitsSse2(unsigned char* dst,
                                                         const unsigned char* src, size_t units)
{
    if (Aligned16(src)) {
        for (; units; units--, dst += 32, src += 32) {
            __m128i a = LoadAlignedInt(src);
            __m128i b = LoadAlignedInt(src + 16);
            _mm_prefetch((const char*)((uintptr_t)src + 32 + PrefetchDistance), _MM_HINT_T0);
            _mm_stream_si128((__m128i*)dst, a);
            _mm_stream_si128((__m128i*)(dst + 16), b);
        }
    } else {
        for (; units; units--, dst += 32, src += 32) {
            __m128i a = _mm_loadu_si128((const __m128i*)src);
            __m128i b = _mm_loadu_si128((const __m128i*)(src + 16));
            _mm_prefetch((const char*)((uintptr_t)src + 32 + PrefetchDistance), _MM_HINT_T0);
            _mm_stream_si128((__m128i*)dst, a);
            _mm_stream_si128((__m128i*)(dst + 16), b);
        }
    }
    _mm_sfence();
}

MmxTier static void CopyUnitsMmxStreamed(unsigned char* dst, const unsigned char* src,
                                         size_t units)
{
    for (; units; units--, dst += 16, src += 16) {
        __m64 a = MmxLoad(src);
        __m64 b = MmxLoad(src + 8);
        PrefetchT0((uintptr_t)src + 16 + PrefetchDistance);
        MmxStream(dst, a);
        MmxStream(dst + 8, b);
    }
    _mm_empty();
    StoreFence();
}

MmxTier static void CopyUnitsMmx(unsigned char* dst, const unsigned char* src, size_t units)
{
    for (; units; units--, dst += 16, src += 16) {
        __m64 a = MmxLoad(src);
        __m64 b = MmxLoad(src + 8);
        MmxStore(dst, a);
        MmxStore(dst + 8, b);
    }
    _mm_empty();
}

// The bytes after the last whole unit. An empty rest is no call, so that an
// empty copy may name null blocks.
static void CopyRest(unsigned char* dst, const unsigned char* src, size_t count, size_t unit)
{
    size_t done = count - count % unit;
    if (count > done)
        memcpy(dst + done, src + done, count - done);
}

int StreamedCopyTier(const CpuInfoRecord& cpu, const CpuSystemRecord& system, int dst_aligned16)
{
    if (cpu.has_sse2 && system.sse2 && dst_aligned16)
        return CopySse2;
    // movntq, prefetcht0 and sfence belong to SSE and to AMD's MMX
    // extensions; extended 3DNow! alone (some K6-2+ and K6-III+) lacks them.
    if (cpu.has_sse || cpu.has_mmx_ext)
        return CopyMmxStreamed;
    if (cpu.has_mmx && cpu.has_3dnow)
        return CopyMmx;
    return CopyMemcpy;
}

int FastCopyTier(const CpuInfoRecord& cpu, const CpuSystemRecord& system, int dst_aligned16)
{
    if (cpu.has_sse && system.sse)
        return CopySse;
    return StreamedCopyTier(cpu, system, dst_aligned16);
}

// Each tier's unit copy and unit size, by CopyTier; memcpy has none.
static const struct {
    void (*units)(unsigned char* dst, const unsigned char* src, size_t units);
    size_t unit;
} TierCopies[] = {
    {nullptr, 0},
    {CopyUnitsMmx, 16},
    {CopyUnitsMmxStreamed, 16},
    {CopyUnitsSse, 16},
    {CopyUnitsSse2, 32},
};

// Copies count bytes (none when negative) with the tier given: whole units,
// then the rest by memcpy.
static void CopyWithTier(int tier, void* dst, const void* src, int32_t count)
{
    if (count < 0)
        return;
    unsigned char* d = (unsigned char*)dst;
    const unsigned char* s = (const unsigned char*)src;
    size_t n = (size_t)count;
    if (TierCopies[tier].units) {
        TierCopies[tier].units(d, s, n / TierCopies[tier].unit);
        CopyRest(d, s, n, TierCopies[tier].unit);
    } else if (n) {
        memcpy(d, s, n);
    }
}

void CopyBlockFast(void* dst, const void* src, int32_t count)
{
    CopyWithTier(FastCopyTier(CpuInfo, CpuSystem, Aligned16(dst)), dst, src, count);
}

void CopyBlockStreamed(void* dst, const void* src, int32_t count)
{
    CopyWithTier(StreamedCopyTier(CpuInfo, CpuSystem, Aligned16(dst)), dst, src, count);
}
