#include "toolkit/data/pixel_rows.h"

#include <string.h>
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/toolkit/data/cpu_flags.h"
#include "tests/toolkit/data/row_reference.h"

// Bit k of a packed row, counted from the most significant bit of byte 0.
static int RowBit(const unsigned char* row, size_t k)
{
    return (row[k / 8] >> (7 - k % 8)) & 1;
}

TEST(PackedPixels, EveryPositionOfEveryWidth)
{
    const unsigned char start[5] = {0x5A, 0xC3, 0x0F, 0x96, 0xEE};
    for (int bits : {1, 2, 4})
        for (int index = 0; index < 32 / bits; index++)
            for (unsigned value = 0; value < 40; value++) {
                unsigned char row[5];
                memcpy(row, start, 5);
                unsigned before = 0;
                for (int b = 0; b < bits; b++)
                    before = before << 1 | RowBit(start, index * bits + b);
                ASSERT_EQ(before, GetPackedPixel(start, bits, index));
                ASSERT_EQ(1, SetPackedPixel(row, bits, index, value));
                // The pixel's bits hold the value's low bits; every other bit,
                // the byte behind the row's 4 included, is as it was.
                for (int k = 0; k < 40; k++) {
                    int b = k - index * bits;
                    int want = b >= 0 && b < bits ? (value >> (bits - 1 - b)) & 1 : RowBit(start, k);
                    ASSERT_EQ(want, RowBit(row, k)) << bits << " bits, pixel " << index << ", value "
                                                    << value << ", bit " << k;
                }
            }
    unsigned char row[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    for (int bits : {0, 3, 8})
        EXPECT_EQ(0, GetPackedPixel(row, bits, 0) + SetPackedPixel(row, bits, 0, 0)) << bits;
    EXPECT_EQ(0, GetPackedPixel(row, 1, -1) + SetPackedPixel(row + 2, 4, INT32_MIN, 0));
    EXPECT_EQ(0, GetPackedPixel(nullptr, 4, 0) + SetPackedPixel(nullptr, 4, 0, 0));
    EXPECT_EQ(0xFFFFFFFFu, row[0] << 24 | row[1] << 16 | row[2] << 8 | (unsigned)row[3]);
}

// The highest index addresses the last byte of a row of 256 MiB, 512 MiB or
// 1 GiB; only that byte's page is there.
TEST(PackedPixels, HighestIndexStaysInsideALongRow)
{
    for (int bits : {1, 2, 4}) {
        size_t size = (size_t)INT32_MAX * (size_t)bits / 8 + 1;
        unsigned char* row = (unsigned char*)VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
        ASSERT_TRUE(row && VirtualAlloc(row + size - 1, 1, MEM_COMMIT, PAGE_READWRITE));
        EXPECT_EQ(1, SetPackedPixel(row, bits, INT32_MAX, 0xFF));
        EXPECT_EQ((1 << bits) - 1, row[size - 1]) << bits;
        VirtualFree(row, 0, MEM_RELEASE);
    }
}

static const PathFlags MmxPath = {0, 0, 0, 1, 0}, PlainPath = {0, 0, 0, 0, 0};

TEST(FillRow, EveryWidthAndCountOnBothPaths)
{
    const uint32_t value = 0x8C4B2A19;
    for (const PathFlags& flags : {MmxPath, PlainPath}) {
        const char* name = flags.mmx ? "fill, MMX" : "fill, plain";
        if (!ProcessorRuns(flags, name))
            continue;
        ForcedPath forced(flags);
        for (int bytes = -1; bytes <= 5; bytes++)
            for (int count = -1; count <= 40; count++) {
                unsigned char buf[8 + 4 * 40 + 8], expected[sizeof buf];
                memset(buf, 0xA5, sizeof buf);
                memcpy(expected, buf, sizeof buf);
                bool valid = bytes >= 1 && bytes <= 4;
                if (valid)
                    ReferenceFill(expected + 9, count, bytes, value);
                ASSERT_EQ((int)valid, FillRow(buf + 9, count, bytes, value));
                ASSERT_TRUE(X87Free()) << bytes << " bytes, " << count;
                ASSERT_EQ(0, memcmp(expected, buf, sizeof buf)) << name << ", " << bytes << " bytes, "
                                                                << count;
            }
    }
    EXPECT_EQ(0, FillRow(nullptr, 4, 1, 0) + FillRow16(nullptr, 4, 0) + FillRow24(nullptr, 4, 0) +
                     FillRow32(nullptr, 4, 0));
}

#ifdef _WIN64
// count * 3 passes 2 GiB: the row ends where count says, not at a wrapped
// 32-bit offset. Only a 64-bit program has room for such a row.
TEST(FillRow, RowOfMoreThanTwoGibibytes)
{
    const int32_t count = 0x2AAAAAAB;
    const size_t size = (size_t)count * 3;
    unsigned char* row = (unsigned char*)VirtualAlloc(nullptr, size + 4096, MEM_RESERVE | MEM_COMMIT,
                                                      PAGE_READWRITE);
    ASSERT_NE(nullptr, row) << "2 GiB of memory not available";
    row[size] = 0xA5;
    ForcedPath forced(MmxPath);
    EXPECT_EQ(1, FillRow24(row, count, 0x030201));
    EXPECT_EQ(0x010301A5, row[0] << 24 | row[size - 1] << 16 | row[size - 3] << 8 | row[size]);
    VirtualFree(row, 0, MEM_RELEASE);
}
#endif

TEST(ExpandIndexedRow, RandomPalettesOnEveryPath)
{
    unsigned char palette[1024], indices[40];
    uint32_t seed = 7;
    for (unsigned char& b : palette)  // fourth bytes not 0 included
        b = (unsigned char)((seed = seed * 1103515245u + 12345u) >> 16);
    for (int i = 0; i < 40; i++)
        indices[i] = palette[i * 7];
    static const struct {
        const char* name;
        PathFlags flags;
    } Paths[] = {
        {"expansion, SSE", {0, 1, 0, 1, 0}},
        {"expansion, MMX extensions", {0, 0, 1, 1, 0}},
        {"expansion, plain", PlainPath},
    };
    for (const auto& path : Paths) {
        if (!ProcessorRuns(path.flags, path.name))
            continue;
        ForcedPath forced(path.flags);
        for (int count = -1; count <= 40; count++) {
            unsigned char out[3 * 40 + 8], expected[sizeof out];
            memset(out, 0xA5, sizeof out);
            memcpy(expected, out, sizeof out);
            ReferenceExpand(expected, indices, palette, count);
            ExpandIndexedRow(out, indices, palette, count);
            ASSERT_TRUE(X87Free()) << count;
            ASSERT_EQ(0, memcmp(expected, out, sizeof out)) << path.name << ", " << count;
        }
    }
}
