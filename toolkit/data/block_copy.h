#pragma once
// Block copies that choose their instructions from CpuInfo: SSE, SSE2 or MMX
// moves, with streaming stores and prefetching for large blocks. Every path
// gives the bytes of memcpy; with CpuInfo zero both are memcpy. Source and
// destination must not overlap. A negative count copies nothing. Both end
// with a store fence after streaming stores, so that another thread that
// sees a later store also sees the whole block.

#include <stdint.h>

// 16-byte SSE moves when has_sse is 1 (aligned loads where the source is
// aligned, streaming stores where the destination is), the rest by memcpy;
// without SSE the same as CopyBlockStreamed.
void CopyBlockFast(void* dst, const void* src, int32_t count);

// The first tier that CpuInfo allows: 32-byte SSE2 units with streaming
// stores to a 16-byte aligned destination; 16-byte MMX units with streaming
// stores (SSE or extended 3DNow!); 16-byte MMX units (MMX and 3DNow!); memcpy.
void CopyBlockStreamed(void* dst, const void* src, int32_t count);
