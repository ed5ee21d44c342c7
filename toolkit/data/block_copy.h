#pragma once
// Block copies that choose their instructions from CpuInfo: SSE, SSE2 or MMX
// moves, with streaming stores and prefetching for large blocks. Every path
// gives the bytes of memcpy; with CpuInfo zero both are memcpy. Source and
// destination must not overlap. A negative count copies nothing. Both end
// with a store fence after streaming stores, so that another thread that
// sees a later store also sees the whole block.

#include <stdint.h>

#include "toolkit/data/cpu_info.h"

// The instructions a copy runs. MMX and the SSE integer moves on MMX
// registers (movntq, prefetcht0, sfence) need nothing of the system; the SSE
// and SSE2 tiers, which use the SSE registers, need the system's support too.
enum CopyTier {
    CopyMemcpy = 0,       // the C library's memcpy
    CopyMmx = 1,          // 16-byte units, MMX loads and stores (MMX and 3DNow!)
    CopyMmxStreamed = 2,  // 16-byte units, MMX loads, streaming stores, prefetch
    CopySse = 3,          // 16-byte units, SSE loads and stores
    CopySse2 = 4,         // 32-byte units, SSE2 loads, streaming stores, prefetch
};

// The tier CopyBlockFast takes for these flags: CopySse when the processor
// has SSE and the system supports it, else that of CopyBlockStreamed.
int FastCopyTier(const CpuInfoRecord& cpu, const CpuSystemRecord& system, int dst_aligned16);
// The tier CopyBlockStreamed takes: CopySse2 for a 16-byte aligned destination
// when the processor has SSE2 and the system supports it; else
// CopyMmxStreamed with SSE or the MMX extensions (has_mmx_ext: movntq,
// prefetcht0 and sfence, which extended 3DNow! alone does not bring); else
// CopyMmx with MMX and 3DNow!; else CopyMemcpy.
int StreamedCopyTier(const CpuInfoRecord& cpu, const CpuSystemRecord& system, int dst_aligned16);

// 16-byte SSE moves where FastCopyTier allows them (aligned loads where the
// source is aligned, streaming stores where the destination is), the rest by
// memcpy; otherwise the same as CopyBlockStreamed.
void CopyBlockFast(void* dst, const void* src, int32_t count);

// The tier StreamedCopyTier chooses from CpuInfo and CpuSystem.
void CopyBlockStreamed(void* dst, const void* src, int32_t count);
