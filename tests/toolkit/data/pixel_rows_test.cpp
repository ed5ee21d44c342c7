#include "toolkit/data/pixel_rows.h"

#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "tests/toolkit/data/cpu_flags.h"

// Pixel p of a packed row read bit by bit: bit k of the row is bit 7 - k % 8
// of byte k / 8.
static unsigned ReferencePixel(const unsigned char* row, int bits, int index)
{
    unsigned value = 0;
    for (int k = index * bits; k < (index + 1) * bits; k++)
        value = value << 1 | ((row[k / 8] >> (7 - k % 8)) & 1);
    return value;
}

TEST(PackedPixels, EveryPositionOfEveryWidth)
{
    const unsigned char start[4] = {0x5A, 0xC3, 0x0F, 0x96};
    for (int bits : {1, 2, 4}) {
        unsigned mask = (1u << bits) - 1;
        for (int index = 0; index < 32 / bits; index++)
            for (unsigned value = 0; value <= mask + 0x20; value++) {
                unsigned char row[5], expected[5];
                memcpy(row, start, 4);
                row[4] = 0xEE;
                memcpy(expected, row, 5);
                // The reference: clear the pixel's bits one by one, then set
                // those of the value's low bits.
                for (int b = 0; b < bits; b++) {
                    int k = index * bits + b;
                    unsigned char bit = (unsigned char)(0x80 >> (k % 8));
                    if ((value >> (bits - 1 - b)) & 1)
                        expected[k / 8] |= bit;
                    else
                        expected[k / 8] &= (unsigned char)~bit;
                }
                ASSERT_EQ(ReferencePixel(start, bits, index), GetPackedPixel(start, bits, index));
                ASSERT_EQ(1, SetPackedPixel(row, bits, index, value));
                ASSERT_EQ(0, memcmp(expected, row, 5))
                    << bits << " bits, pixel " << index << ", value " << value;
                ASSERT_EQ(value & mask, GetPackedPixel(row, bits, index));
            }
    }
}

TEST(PackedPixels, RefusedWidthsIndexesAndRows)
{
    unsigned char row[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    for (int bits : {0, 3, 8, -1, 5}) {
        EXPECT_EQ(0, GetPackedPixel(row, bits, 0)) << bits;
        EXPECT_EQ(0, SetPackedPixel(row, bits, 0, 0)) << bits;
    }
    EXPECT_EQ(0, GetPackedPixel(row, 1, -1));
    EXPECT_EQ(0, SetPackedPixel(row, 4, -1, 0));
    EXPECT_EQ(0, SetPackedPixel(row + 1, 4, INT32_MIN, 0));
    EXPECT_EQ(0, GetPackedPixel(nullptr, 4, 0));
    EXPECT_EQ(0, SetPackedPixel(nullptr, 4, 0, 0));
    for (unsigned char b : row)
        EXPECT_EQ(0xFF, b);
}

// The highest index addresses the last byte of a row of 256 MiB, 512 MiB or
// 1 GiB: only that byte's page is committed.
TEST(PackedPixels, HighestIndexStaysInsideALongRow)
{
    for (int bits : {1, 2, 4}) {
        size_t size = (size_t)INT32_MAX * (size_t)bits / 8 + 1;
        unsigned char* row = (unsigned char*)VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
        ASSERT_NE(nullptr, row);
        ASSERT_NE(nullptr, VirtualAlloc(row + size - 1, 1, MEM_COMMIT, PAGE_READWRITE));
        EXPECT_EQ(1, SetPackedPixel(row, bits, INT32_MAX, 0xFF));
        EXPECT_EQ((1u << bits) - 1, row[size - 1]) << bits;
        EXPECT_EQ((1u << bits) - 1, GetPackedPixel(row, bits, INT32_MAX));
        VirtualFree(row, 0, MEM_RELEASE);
    }
}

static const PathFlags MmxPath = {0, 0, 0, 1, 0};
static const PathFlags PlainPath = {0, 0, 0, 0, 0};
static const unsigned char Guard = 0xA5;

TEST(FillRow, EveryWidthAndCountOnBothPaths)
{
    const uint32_t value = 0x8C4B2A19;
    for (const PathFlags& flags : {MmxPath, PlainPath}) {
        ForcedPath forced(flags);
        for (int bytes = 1; bytes <= 4; bytes++)
            for (int count = 0; count <= 40; count++)
                for (int offset : {0, 1, 3}) {
                    unsigned char buf[8 + 4 * 40 + 8];
                    memset(buf, Guard, sizeof buf);
                    unsigned char expected[sizeof buf];
                    memcpy(expected, buf, sizeof buf);
                    for (int i = 0; i < count * bytes; i++)
                        expected[8 + offset + i] = (unsigned char)(value >> (8 * (i % bytes)));
                    ASSERT_EQ(1, FillRow(buf + 8 + offset, count, bytes, value));
                    ASSERT_EQ(0, memcmp(expected, buf, sizeof buf))
                        << (flags.mmx ? "MMX" : "plain") << ", " << bytes << " bytes, " << count
                        << " pixels, offset " << offset;
                }
    }
}

TEST(FillRow, RefusesWithoutWriting)
{
    unsigned char row[16];
    memset(row, Guard, sizeof row);
    for (int bytes : {0, 5, -1})
        EXPECT_EQ(0, FillRow(row, 4, bytes, 0)) << bytes;
    EXPECT_EQ(0, FillRow(nullptr, 4, 1, 0));
    EXPECT_EQ(0, FillRow16(nullptr, 4, 0));
    EXPECT_EQ(0, FillRow24(nullptr, 4, 0));
    EXPECT_EQ(0, FillRow32(nullptr, 4, 0));
    // A negative count is an empty row: done, nothing written.
    for (int bytes = 1; bytes <= 4; bytes++) {
        EXPECT_EQ(1, FillRow(row, -1, bytes, 0)) << bytes;
        EXPECT_EQ(1, FillRow(row, INT32_MIN, bytes, 0)) << bytes;
    }
    for (unsigned char b : row)
        EXPECT_EQ(Guard, b);
}

#ifdef _WIN64
// count * 3 passes 2 GiB: the row's end is where count says, not a
// wrapped 32-bit offset. Only a 64-bit program has room for such a row.
TEST(FillRow, RowOfMoreThanTwoGibibytes)
{
    const int32_t count = 0x2AAAAAAB;
    const size_t size = (size_t)count * 3;
    unsigned char* row = (unsigned char*)VirtualAlloc(nullptr, size + 4096, MEM_RESERVE | MEM_COMMIT,
                                                      PAGE_READWRITE);
    ASSERT_NE(nullptr, row) << "2 GiB of memory not available";
    row[size] = Guard;
    ForcedPath forced(MmxPath);
    EXPECT_EQ(1, FillRow24(row, count, 0x030201));
    EXPECT_EQ(1, row[0]);
    EXPECT_EQ(1, row[size - 3]);
    EXPECT_EQ(3, row[size - 1]);
    EXPECT_EQ(Guard, row[size]);
    VirtualFree(row, 0, MEM_RELEASE);
}
#endif

TEST(ExpandIndexedRow, RandomPalettesOnEveryPath)
{
    uint32_t seed = 7;
    auto next = [&seed]() { return (unsigned char)((seed = seed * 1103515245u + 12345u) >> 16); };
    unsigned char palette[1024], indices[40];
    for (unsigned char& b : palette)
        b = next();  // fourth bytes not 0 included
    for (unsigned char& b : indices)
        b = next();
    const PathFlags paths[] = {{0, 1, 0, 1, 0}, {0, 0, 1, 1, 0}, PlainPath};
    for (const PathFlags& flags : paths) {
        ForcedPath forced(flags);
        for (int count = 0; count <= 40; count++) {
            unsigned char out[3 * 40 + 8], expected[sizeof out];
            memset(out, Guard, sizeof out);
            memcpy(expected, out, sizeof out);
            for (int i = 0; i < count; i++)
                memcpy(expected + 3 * i, palette + 4 * indices[i], 3);
            ExpandIndexedRow(out, indices, palette, count);
            ASSERT_EQ(0, memcmp(expected, out, sizeof out))
                << "SSE " << flags.sse << ", extended 3DNow! " << flags.three_dnow_ext << ", "
                << count << " pixels";
        }
        unsigned char out[8];
        memset(out, Guard, sizeof out);
        ExpandIndexedRow(out, indices, palette, -1);
        ExpandIndexedRow(out, indices, palette, INT32_MIN);
        for (unsigned char b : out)
            EXPECT_EQ(Guard, b);
    }
}
