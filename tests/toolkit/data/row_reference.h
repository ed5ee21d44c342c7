#pragma once
// The bytes that the fills and the expansion must write, by the plainest
// loops: the reference for every path, in the tests and in the probe that
// runs the normal dispatch on emulated processors.

#include <stdint.h>
#include <string.h>

// count pixels of bytes (1 to 4) each, the low bytes of value, low byte first.
inline void ReferenceFill(unsigned char* row, int32_t count, int bytes, uint32_t value)
{
    for (int32_t i = 0; i < count * bytes; i++)
        row[i] = (unsigned char)(value >> (8 * (i % bytes)));
}

// count 3-byte pixels: the first three bytes of each index's 4-byte entry.
inline void ReferenceExpand(unsigned char* out, const unsigned char* indices,
                            const unsigned char* palette, int32_t count)
{
    for (int32_t i = 0; i < count; i++)
        memcpy(out + 3 * i, palette + 4 * indices[i], 3);
}
