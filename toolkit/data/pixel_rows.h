#pragma once
// Rows of raw pixels in memory: single pixels of 1, 2 or 4 bits in packed
// rows, fills with one pixel value of 1 to 4 bytes, and the expansion of
// 8-bit palette indices into 3-byte pixels. The fills and the expansion take
// MMX paths when CpuInfo allows them; every path writes the same bytes.
// Nothing checks bounds or overlap: the caller's rows hold count pixels.
// Negative counts and indexes write nothing.

#include <stdint.h>

#include "toolkit/data/cpu_info.h"

// The instructions a fill or an expansion runs. Both fast paths use MMX
// registers only, which every system saves, so they depend on the processor
// alone.
enum PixelTier {
    PixelPlain = 0,        // ordinary stores
    PixelMmx = 1,          // MMX stores
    PixelMmxStreamed = 2,  // MMX streaming stores (movntq) and a store fence
};

// The fills' tier: PixelMmx with MMX, else PixelPlain.
int FillTier(const CpuInfoRecord& cpu);
// The expansion's tier: PixelMmxStreamed with SSE or the MMX extensions
// (has_mmx_ext: the processors that have movntq and sfence), else PixelPlain.
int ExpandTier(const CpuInfoRecord& cpu);

// A packed row: pixel 0 in the most significant bits of byte 0, pixel i at
// bit offset i * bits from there; a pixel never crosses a byte.
// Returns pixel index (0 to 2^bits - 1); 0 when bits is not 1, 2 or 4, the
// index is negative or the row is null.
unsigned char GetPackedPixel(const unsigned char* row, int32_t bits, int32_t index);
// Stores the low bits of value as pixel index and returns 1; returns 0,
// writing nothing, when bits is not 1, 2 or 4, the index is negative or the
// row is null.
int SetPackedPixel(unsigned char* row, int32_t bits, int32_t index, uint32_t value);

// Fills count pixels of bytes (1 to 4) each with the low bytes of value, low
// byte first. Returns 1; 0, writing nothing, when the row is null or bytes
// is out of range.
int FillRow(void* row, int32_t count, int32_t bytes, uint32_t value);
// FillRow for 2, 3 and 4 bytes per pixel: 1, or 0 for a null row.
int FillRow16(void* row, int32_t count, uint32_t value);
int FillRow24(void* row, int32_t count, uint32_t value);
int FillRow32(void* row, int32_t count, uint32_t value);

// Writes count 3-byte pixels to out: for each index, the first three bytes of
// its entry in palette (256 entries of 4 bytes; the fourth byte is ignored).
// Null rows or palette write nothing.
void ExpandIndexedRow(void* out, const unsigned char* indices, const unsigned char* palette,
                      int32_t count);
