#include "toolkit/data/dbcs_text.h"

#include <string.h>

#include <gtest/gtest.h>

// 表 and ソ are 0x95 0x5C and 0x83 0x5C in code page 932: their second byte
// is the backslash, the classic trap of byte-wise scanning.
TEST(DbcsText, LiteralsAreCodePage932)
{
    EXPECT_STREQ("\x95\x5C", "表");
    EXPECT_STREQ("\x83\x5C", "ソ");
}

TEST(DbcsText, LeadBytesAreTheTwoRanges)
{
    struct Case {
        unsigned char c;
        int lead;
    } cases[] = {{0x5C, 0}, {0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0},
                 {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 0}, {0xFF, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(c.lead, DbcsIsLeadByte(c.c)) << std::hex << (int)c.c;
}

TEST(DbcsText, CutNeverSplitsACharacterNorWritesPastTheBuffer)
{
    char dst[8];
    memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(0, DbcsCopyCut(dst, 6, "ab表ソ"));  // 6 bytes do not fit 5 + terminator
    EXPECT_STREQ("ab表", dst);
    EXPECT_EQ('Z', dst[6]);

    EXPECT_EQ(0, DbcsCopyCut(dst, 4, "a表ソ"));
    EXPECT_STREQ("a表", dst);
    EXPECT_EQ(0, DbcsCopyCut(dst, 3, "a表ソ"));  // would split 表
    EXPECT_STREQ("a", dst);

    EXPECT_EQ(1, DbcsCopyCut(dst, 8, "ab表ソ"));
    EXPECT_STREQ("ab表ソ", dst);
    EXPECT_EQ(1, DbcsCopyCut(dst, 1, ""));
    EXPECT_STREQ("", dst);
}

TEST(DbcsText, HalfCharacterAtTheEndIsLeftOut)
{
    // What a byte-wise cut elsewhere leaves: "a" and the lead byte of 表.
    EXPECT_EQ(1, DbcsFitLength("a\x95", 10));
    char dst[8];
    EXPECT_EQ(0, DbcsCopyCut(dst, sizeof dst, "a\x95"));
    EXPECT_STREQ("a", dst);
}

TEST(DbcsText, LastBackslashIgnoresSecondBytes)
{
    const char* path = "C:\\data\\表";
    EXPECT_EQ(path + 7, DbcsFindLastChar(path, '\\'));
    EXPECT_EQ(nullptr, DbcsFindLastChar("表ソ", '\\'));
    const char* soft = "ソフト\\x";
    EXPECT_EQ(soft + 6, DbcsFindLastChar(soft, '\\'));
    EXPECT_EQ(nullptr, DbcsFindLastChar("饅", '\\'));  // 0xE9 0x5C
}
