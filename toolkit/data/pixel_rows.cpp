#include "toolkit/data/pixel_rows.h"

#include <stddef.h>
#include <string.h>

#include "toolkit/data/cpu_info.h"
#include "toolkit/data/mmx_moves.h"

// Finds pixel index of a packed row: its byte and the shift of its bits in
// that byte. Offsets are pointer-sized, so that no long row wraps them.
// Returns the mask of a pixel's bits, or 0 for a width or index refused.
static unsigned PackedPlace(int32_t bits, int32_t index, size_t* byte, unsigned* shift)
{
    if ((bits != 1 && bits != 2 && bits != 4) || index < 0)
        return 0;
    size_t offset = (size_t)index * (size_t)bits;
    *byte = offset / 8;
    *shift = 8 - (unsigned)bits - (unsigned)(offset % 8);
    return 0xFFu >> (8 - bits);
}

unsigned char GetPackedPixel(const unsigned char* row, int32_t bits, int32_t index)
{
    size_t byte;
    unsigned shift;
    unsigned mask = PackedPlace(bits, index, &byte, &shift);
    if (!mask || !row)
        return 0;
    return (unsigned char)((row[byte] >> shift) & mask);
}

int SetPackedPixel(unsigned char* row, int32_t bits, int32_t index, uint32_t value)
{
    size_t byte;
    unsigned shift;
    unsigned mask = PackedPlace(bits, index, &byte, &shift);
    if (!mask || !row)
        return 0;
    row[byte] = (unsigned char)((row[byte] & ~(mask << shift)) | ((value & mask) << shift));
    return 1;
}

int FillTier(const CpuInfoRecord& cpu)
{
    return cpu.has_mmx ? PixelMmx : PixelPlain;
}

int ExpandTier(const CpuInfoRecord& cpu)
{
    return cpu.has_sse || cpu.has_mmx_ext ? PixelMmxStreamed : PixelPlain;
}

int FillRow(void* row, int32_t count, int32_t bytes, uint32_t value)
{
    if (!row)
        return 0;
    switch (bytes) {
    case 1:
        if (count > 0)
            memset(row, (int)(value & 0xFF), (size_t)count);
        return 1;
    case 2:
        return FillRow16(row, count, value);
    case 3:
        return FillRow24(row, count, value);
    case 4:
        return FillRow32(row, count, value);
    }
    return 0;
}

// Writes groups copies of a pattern of words 8-byte words (1 or 3) to row
// with MMX stores; returns the row after them.
MmxTier static unsigned char* StoreGroupsMmx(unsigned char* row, const unsigned char* pattern,
                                             int words, size_t groups)
{
    __m64 a = MmxLoad(pattern);
    if (words == 1) {
        for (; groups; groups--, row += 8)
            MmxStore(row, a);
    } else {
        __m64 b = MmxLoad(pattern + 8);
        __m64 c = MmxLoad(pattern + 16);
        for (; groups; groups--, row += 24) {
            MmxStore(row, a);
            MmxStore(row + 8, b);
            MmxStore(row + 16, c);
        }
    }
    _mm_empty();
    return row;
}

// The same with ordinary 8-byte stores.
static unsigned char* StoreGroupsPlain(unsigned char* row, const unsigned char* pattern,
                                       int words, size_t groups)
{
    uint64_t w[3];
    memcpy(w, pattern, (size_t)words * 8);
    for (; groups; groups--)
        for (int i = 0; i < words; i++, row += 8)
            memcpy(row, &w[i], 8);
    return row;
}

// Fills count pixels of bytes (2 to 4) each: builds code2, the value's low
// bytes repeated over 8 bytes (24 for 3-byte pixels, the smallest whole
// number of 8-byte words), writes whole groups of code2 with 8-byte stores,
// then the rest from the start of code2. Sizes are pointer-sized, so that
// no long row wraps them.
static int FillPixels(void* row, int32_t count, int bytes, uint32_t value)
{
    if (!row)
        return 0;
    if (count <= 0)
        return 1;
    int words = bytes == 3 ? 3 : 1;
    size_t group = (size_t)words * 8;
    unsigned char code2[24];
    for (size_t i = 0; i < group; i++)
        code2[i] = (unsigned char)(value >> (8 * (i % (size_t)bytes)));
    size_t size = (size_t)count * (size_t)bytes;
    unsigned char* p = (unsigned char*)row;
    if (FillTier(CpuInfo) == PixelMmx)
        p = StoreGroupsMmx(p, code2, words, size / group);
    else
        p = StoreGroupsPlain(p, code2, words, size / group);
    memcpy(p, code2, size % group);
    return 1;
}

int FillRow16(void* row, int32_t count, uint32_t value)
{
    return FillPixels(row, count, 2, value);
}

int FillRow24(void* row, int32_t count, uint32_t value)
{
    return FillPixels(row, count, 3, value);
}

int FillRow32(void* row, int32_t count, uint32_t value)
{
    return FillPixels(row, count, 4, value);
}

// The first three bytes of a palette entry, in their stored order, as the
// low 24 bits of a word; the fourth byte never comes along.
static uint32_t PaletteColour(const unsigned char* palette, unsigned char index)
{
    uint32_t entry;
    memcpy(&entry, palette + 4 * (size_t)index, 4);
    return entry & 0xFFFFFF;
}

// Expands groups of 8 indices into 24 bytes each, written with three MMX
// streaming stores; ends with the store fence that streaming stores need.
MmxTier static void ExpandGroupsMmx(unsigned char* out, const unsigned char* indices,
                                    const unsigned char* palette, size_t groups)
{
    for (; groups; groups--, indices += 8, out += 24) {
        uint32_t p[8];
        for (int i = 0; i < 8; i++)
            p[i] = PaletteColour(palette, indices[i]);
        // Eight 3-byte pixels back to back are six little-endian words.
        MmxStream(out, _mm_set_pi32((int)(p[1] >> 8 | p[2] << 16), (int)(p[0] | p[1] << 24)));
        MmxStream(out + 8, _mm_set_pi32((int)(p[4] | p[5] << 24), (int)(p[2] >> 16 | p[3] << 8)));
        MmxStream(out + 16, _mm_set_pi32((int)(p[6] >> 16 | p[7] << 8), (int)(p[5] >> 8 | p[6] << 16)));
    }
    _mm_empty();
    StoreFence();
}

void ExpandIndexedRow(void* out, const unsigned char* indices, const unsigned char* palette,
                      int32_t count)
{
    if (count <= 0 || !out || !indices || !palette)
        return;
    unsigned char* dst = (unsigned char*)out;
    size_t n = (size_t)count;
    if (ExpandTier(CpuInfo) == PixelMmxStreamed) {
        size_t groups = n / 8;
        ExpandGroupsMmx(dst, indices, palette, groups);
        dst += groups * 24;
        indices += groups * 8;
        n %= 8;
    }
    for (size_t i = 0; i < n; i++, dst += 3)
        memcpy(dst, palette + 4 * (size_t)indices[i], 3);
}
