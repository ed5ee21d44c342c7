#include "toolkit/data/text_compare.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/deadline.h"

// ア (0x83 0x41) and ヂ (0x83 0x61) differ only in a second byte that looks
// like a letter; ァ is 0x83 0x40 ("@"), 表 0x95 0x5C and 能 0x94 0x5C ("\").
// Row 3 has a letter behind the first and last lead byte of each range, row 4
// behind the bytes just outside them; row 5 ends in a lone lead byte, with
// bytes behind its terminator that a copy must not reach.
TEST(TextCompare, CaseCopiesChangeSingleByteLettersOnly)
{
    struct { const char *text, *lower, *upper; } cases[] = {
        {"AZaz@[`{", "azaz@[`{", "AZAZ@[`{"}, {"xアBヂc", "xアbヂc", "XアBヂC"},
        {"\x81\x41\x9F\x5A\xE0\x61\xFC\x7A", "\x81\x41\x9F\x5A\xE0\x61\xFC\x7A", "\x81\x41\x9F\x5A\xE0\x61\xFC\x7A"},
        {"\x80\x41\xA0\x41\xDF\x61\xFD\x61", "\x80\x61\xA0\x61\xDF\x61\xFD\x61", "\x80\x41\xA0\x41\xDF\x41\xFD\x41"},
        {"a\x95\0zz", "a\x95", "A\x95"}};
    for (const auto& c : cases) {
        char buf[32];
        memset(buf, 'Z', sizeof buf);
        LowerCopy(buf, c.text);
        EXPECT_STREQ(c.lower, buf);
        EXPECT_EQ('Z', buf[strlen(c.text) + 1]);
        UpperCopy(buf, buf);
        EXPECT_STREQ(c.upper, buf);
    }
}

// Columns: sign of CompareNoCase, sign of ComparePrefix, ContainsText. ャ is
// 0x83 0x83: its second byte is a lead byte too.
TEST(TextCompare, Comparisons)
{
    Deadline limit(10000);  // a search that stops advancing never ends
    std::string run(1500, 'x'), long1 = run + "x", long2 = run + "Y", long3 = run + "X";
    struct { const char *a, *b; int no_case, prefix, contains; } cases[] = {{"README", "readme", 0, -1, 0},
        {"Apple", "banana", -1, -1, 0}, {"[", "A", -1, 1, 0}, {"ア", "ヂ", -1, -1, 0}, {"ア", "A", 1, 1, 0},
        {"ｱ", "a", 1, 1, 0}, {"abcdef", "abc", 1, 0, 1}, {"ab", "abc", -1, -1, 0}, {"abcdef", "def", -1, -1, 1},
        {"abcdef", "fg", -1, -1, 0}, {"abc", "", 1, 0, 1}, {"表", "\\", 1, 1, 0}, {"表ソ", "\x5C\x83", 1, 1, 0},
        {"アA", "A", 1, 1, 1}, {"表x", "表", 1, 0, 1}, {"ャA", "ャa", 0, -1, 0}, {"a\x95", "b", -1, -1, 0},
        {long1.c_str(), long2.c_str(), -1, 1, 0},
        {long1.c_str(), long3.c_str(), 0, 1, 0}};
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const auto& c : cases) {
        EXPECT_EQ(c.no_case, sign(CompareNoCase(c.a, c.b))) << c.a << " " << c.b;
        EXPECT_EQ(-c.no_case, sign(CompareNoCase(c.b, c.a))) << c.a << " " << c.b;
        EXPECT_EQ(c.prefix, sign(ComparePrefix(c.a, c.b))) << c.a << " " << c.b;
        EXPECT_EQ(c.contains, ContainsText(c.a, c.b)) << c.a << " " << c.b;
    }
}

// Walks a text token by token until the scan stands on the terminator; one
// more call there must give an empty token and stay.
static std::vector<std::string> Tokens(const char* text, unsigned int delimiter)
{
    std::vector<std::string> tokens;
    char out[64];
    for (; tokens.size() < 10 && (text || *TokenCursor); text = nullptr) {
        memset(out, 'Z', sizeof out);
        int len = ScanToken(out, text, delimiter);
        tokens.push_back(strlen(out) == (size_t)len && out[len + 1] == 'Z' ? out : "overrun");
    }
    if (ScanToken(out, nullptr, delimiter) != 0 || out[0] != 0 || *TokenCursor != 0)
        tokens.push_back("past the end");
    return tokens;
}

TEST(TextCompare, ScanTokenSplitsAtCharacterStarts)
{
    using V = std::vector<std::string>;
    struct { const char* text; unsigned int delimiter; V tokens; } cases[] = {{"a,b,c", ',', V{"a", "b", "c"}},
        {",a,,", ',', V{"", "a", "", ""}}, {"表\\ソ\\能", '\\', V{"表", "ソ", "能"}}, {"ァ@x", '@', V{"ァ", "x"}},
        {"a　表　", 0x8140, V{"a", "表", ""}}, {"\x88\x81\x40x", 0x8140, V{"\x88\x81\x40x"}},
        {"a\r\nb", 0x0D0A, V{"a", "b"}}, {"a\x81", 0x8100, V{"a\x81"}}, {"表x", 0x95, V{"表x"}},
        {",a,\0zz", ',', V{"", "a", ""}}};
    for (const auto& c : cases)
        EXPECT_EQ(c.tokens, Tokens(c.text, c.delimiter)) << c.text;
    char out[4] = "ZZZ";  // at the end every further call gives an empty token
    EXPECT_EQ(0, ScanToken(out, nullptr, ','));
    EXPECT_STREQ("", out);
    EXPECT_EQ(1, ScanToken(nullptr, "a,b", ','));  // a null output only counts
    EXPECT_EQ(1, ScanToken(nullptr, nullptr, ','));
    TokenCursor = nullptr;  // as before any call with a text: nothing is touched
    out[0] = 'Z';
    EXPECT_EQ(0, ScanToken(out, nullptr, ','));
    EXPECT_EQ('Z', out[0]);
}
