#include "toolkit/data/number_text.h"

#include <limits.h>

#include <string>

#include <gtest/gtest.h>

TEST(NumberText, DecToIntIsStrictAndWraps)
{
    struct { const char* text; int value; } cases[] = {{"42", 42}, {"-42", -42}, {"-", 0}, {"", 0}, {nullptr, 0},
        {"+5", 0}, {" 5", 0}, {"12a", 0}, {"/", 0}, {":", 0}, {"-2147483648", INT_MIN}, {"4294967297", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.value, DecToInt(c.text)) << (c.text ? c.text : "null");
}

TEST(NumberText, FormattersAndSpaces)
{
    struct { int value, zero_fill, fixed_width; const char *wide, *narrow; } cases[] = {
        {42, 0, 1, "              42", "42"}, {42, 1, 0, "42", "42"}, {7, 1, 1, "0000000000000007", "07"},
        {7, 0, 1, "               7", " 7"}, {INT_MIN, 1, 1, "-000002147483648", "-2147483648"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(c.wide, FormatNumber16(c.value, c.zero_fill, c.fixed_width)) << c.value;
        EXPECT_STREQ(c.narrow, FormatNumber2(c.value, c.zero_fill, c.fixed_width)) << c.value;
    }
    struct { int length, spaces; } lengths[] = {{15, 15}, {0, 0}, {16, 15}, {INT_MAX, 15}, {-1, 0}, {INT_MIN, 0}};
    for (const auto& c : lengths)
        EXPECT_EQ(std::string(c.spaces, ' '), SpaceText(c.length)) << c.length;
}

// Rows run in order: a long result before shorter ones proves that each
// buffer is cleared between calls.
TEST(NumberText, FullWidthConversions)
{
    struct { const char *wide, *ascii; } cases[] = {{"１２３４５６７８９０１２", "1234567890"}, {"０９ＡＺａｚ", "09AZaz"},
        {"a１", ""}, {"１あ", "1"}, {"１\x82\x4E", "1"}, {"１\x82\x59", "1"}, {"１\x82\x5F", "1"}, {"１\x82\x7A", "1"},
        {"１\x82\x80", "1"}, {"１\x82\x9B", "1"}, {"１\x82\0２", "1"}, {nullptr, ""}};
    for (const auto& c : cases)
        EXPECT_STREQ(c.ascii, WideDigitsToAscii(c.wide)) << c.ascii;
    struct { const char *ascii, *wide; } digits[] = {{"123456789012", "１２３４５６７８９０"}, {"1990", "１９９０"},
        {"12a3", "１２"}, {"/", ""}, {":", ""}, {"表1", ""}, {nullptr, ""}};
    for (const auto& c : digits)
        EXPECT_STREQ(c.wide, AsciiDigitsToWide(c.ascii)) << c.wide;
}
