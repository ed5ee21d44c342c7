#include "toolkit/data/expression.h"

#include <limits.h>
#include <string.h>

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/deadline.h"
#include "tests/support/import_hook.h"
#include "tests/toolkit/data/expr_reference.h"

TEST(Expression, Examples)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"1+2*3", 7}, {"8-3-2", 3}, {"-7/2", -3}, {"-7%3", -1}, {"7%-3", 1}, {"2--3", 5},
        {"-0x10", -16}, {"0xff", 255}, {"0X1F", 0}, {"0x", 0}, {"0x123456789", 0x23456789},
        {"[1+2]*[3+4]", 21}, {"[2*[1+1]]+1", 5}, {"[]", 0}, {"2[3]", 23}, {"-[-3]", 3},
        {"2147483647+1", INT_MIN}, {"65536*65536", 0}, {"4294967297", 1}, {"-2147483648", INT_MIN},
        // A missing number counts as 0; the parse stops where the grammar does.
        {"", 0}, {"5+", 5}, {"*5", 0}, {"1 + 2", 1}, {"12]+5", 12},
        // Division never traps.
        {"5/0", 0}, {"5%0", 0}, {"5/", 0}, {"5%", 0}, {"-2147483648/-1", INT_MIN},
        {"-2147483648%-1", 0}, {"7/-1", -7},
        // A group left open runs to the end and ends the expression there.
        {"2*[3+4", 14}, {"1+[2", 3}, {"2*[3+[4", 14}, {"[", 0},
        // A two-byte character is one unit, never a bracket (ー is 81 5B, ゾ 83 5D).
        {"1+2ー", 3}, {"[5ゾ]*2", 10}, {"[1ー[2]]+1", 2}, {"3+\x81", 3},
        // Nothing is read past the terminator, even behind an open group or
        // a lone lead byte.
        {"2*[3+4\0+1", 14}, {"3+\x81\0+1", 3}, {"[3+\x81\0]+1", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value, EvalExpr(c.text)) << c.text;
        EXPECT_EQ(0, ExprStackCount);
        EXPECT_STREQ("", ExprText);  // never left pointing into a freed buffer
    }
    EXPECT_EQ(0, EvalExpr(nullptr));
    EXPECT_EQ(3, EvalFlatExpr("1+2[3]"));
    EXPECT_EQ(0, EvalFlatExpr(nullptr));
}

TEST(Expression, HexToInt)
{
    const char* const zero[] = {nullptr, "", "1g", "0x1", "-1"};
    for (const char* text : zero)
        EXPECT_EQ(0, HexToInt(text)) << (text ? text : "null");
    EXPECT_EQ(255, HexToInt("ff"));
    EXPECT_EQ(0xABCDEF, HexToInt("aBcDeF"));
    EXPECT_EQ(INT_MIN, HexToInt("80000000"));
    EXPECT_EQ(0x23456789, HexToInt("123456789"));
}

// Shortest time of three evaluations of text, in counter ticks.
static long long BestTime(const std::string& text, int want)
{
    long long best = -1;
    for (int i = 0; i < 3; i++) {
        LARGE_INTEGER t0, t1;
        QueryPerformanceCounter(&t0);
        EXPECT_EQ(want, EvalExpr(text.c_str()));
        QueryPerformanceCounter(&t1);
        if (best < 0 || t1.QuadPart - t0.QuadPart < best)
            best = t1.QuadPart - t0.QuadPart;
    }
    return best;
}

// No level, number or hexadecimal text is cut at any length, and the time
// grows with the length alone: 200,000 terms take about ten times as long as
// 20,000, where a parse that walked its list for every term would take a
// hundred times as long, if it ended within the time limit at all.
TEST(Expression, LongTextsAreEvaluatedWhole)
{
    Deadline limit(60000);
    std::string ones = "1";
    for (int i = 1; i < 20000; i++)
        ones += "+1";
    long long short_time = BestTime(ones, 20000);
    for (int i = 20000; i < 200000; i++)
        ones += "+1";
    double ratio = (double)BestTime(ones, 200000) / (short_time > 0 ? short_time : 1);
    EXPECT_LT(ratio, 40.0) << "200,000 terms took " << ratio << " times as long as 20,000";

    std::string sum, zeros(300, '0');
    for (int i = 0; i < 300; i++)
        sum += "1+";
    EXPECT_EQ(301, EvalExpr((sum + "1").c_str()));
    EXPECT_EQ(306, EvalExpr(("[" + sum + "[2*3]]").c_str()));
    // Levels of 254 to 258 bytes, the last written by a group's value.
    for (int len = 254; len <= 258; len++)
        EXPECT_EQ(10, EvalExpr((std::string(len - 2, '0') + "[10]").c_str())) << len;
    EXPECT_EQ(7, EvalExpr((zeros + "7").c_str()));
    EXPECT_EQ(31, EvalExpr(("0x" + zeros + "1f").c_str()));
    EXPECT_EQ(0x23456789, HexToInt((zeros + "123456789").c_str()));
}

TEST(Expression, NestingBeyondTheBoundGivesZero)
{
    std::string open(ExprMaxDepth, '['), close(ExprMaxDepth, ']');
    EXPECT_EQ(5, EvalExpr((open + "5" + close).c_str()));
    EXPECT_EQ(0, EvalExpr(("1+" + open + "[5" + close + "]").c_str()));
    EXPECT_EQ(0, EvalExpr((std::string(100000, '[') + "5").c_str()));
}

// GlobalAlloc made to fail at one chosen call; both calls counted.
static HGLOBAL(WINAPI* RealGlobalAlloc)(UINT, SIZE_T);
static HGLOBAL(WINAPI* RealGlobalFree)(HGLOBAL);
static int AllocCalls, Allocated, Freed, FailAt;

// Blocks come filled with a pattern instead of zeros, so that every field of
// a node must be set by the evaluator itself.
static HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T size)
{
    if (++AllocCalls == FailAt)
        return nullptr;
    Allocated++;
    HGLOBAL block = RealGlobalAlloc(flags & ~GMEM_ZEROINIT, size);
    if (block)
        memset(block, 0xA5, size);
    return block;
}

static HGLOBAL WINAPI CountedGlobalFree(HGLOBAL block)
{
    Freed++;
    return RealGlobalFree(block);
}

TEST(Expression, FailedAllocationGivesZeroAndLeaksNothing)
{
    ASSERT_TRUE(HookImport("kernel32.dll", "GlobalAlloc", (void*)FailingGlobalAlloc, (void**)&RealGlobalAlloc));
    ASSERT_TRUE(HookImport("kernel32.dll", "GlobalFree", (void*)CountedGlobalFree, (void**)&RealGlobalFree));
    const char* text = "2*[3+4]-[5%[6]]";  // 12 nodes, 3 of them in the first group
    for (int fail_at : {0, 1, 3, 6, 12}) {
        AllocCalls = Allocated = Freed = 0;
        FailAt = fail_at;
        EXPECT_EQ(fail_at ? 0 : 9, EvalExpr(text)) << fail_at;
        EXPECT_EQ(fail_at ? fail_at - 1 : 12, Allocated) << fail_at;
        EXPECT_EQ(Allocated, Freed) << fail_at;
    }
    RestoreImport((void*)FailingGlobalAlloc, (void*)RealGlobalAlloc);
    RestoreImport((void*)CountedGlobalFree, (void*)RealGlobalFree);
}

// Random expressions: decimal and hexadecimal numbers, values that overflow,
// zero divisors, all five operators, runs of unary minus, nested groups, and
// sums long enough to outgrow a 256-byte level.
static std::string RandomExpr(std::mt19937& rng, int depth)
{
    static const char* const special[] = {"0", "1", "2147483648", "4294967296", "0x80000000", "0xFFFFFFFF"};
    auto pick = [&rng](int n) { return (int)(rng() % (unsigned)n); };
    std::string s;
    for (int n = depth == 0 && pick(8) == 0 ? pick(160) : pick(8); n >= 0; n--) {
        if (!s.empty())
            s += "+-*/%"[pick(5)];
        s += std::string(pick(5) == 0 ? 1 + pick(3) : 0, '-');
        int kind = pick(10);
        if (kind == 0 && depth < 6)
            s += "[" + RandomExpr(rng, depth + 1) + "]";
        else if (kind < 3)
            s += special[pick(6)];
        else {
            bool hex = kind < 6;  // up to 10 hexadecimal digits, or 3 decimal ones or 12
            s += hex ? "0x" : "";
            for (int d = pick(hex ? 10 : kind == 9 ? 12 : 3); d >= 0; d--)
                s += (hex ? "0123456789abcdefABCDEF" : "0123456789")[pick(hex ? 22 : 10)];
        }
    }
    return s;
}

TEST(Expression, AgreesWithAnIndependentEvaluator)
{
    const unsigned seed = 20240610;
    std::mt19937 rng(seed);
    int long_ones = 0;
    for (int i = 0; i < 5000; i++) {
        std::string text = RandomExpr(rng, 0);
        long_ones += text.size() > 255;
        ASSERT_EQ(RefEval(text.c_str()), EvalExpr(text.c_str())) << "seed " << seed << " case " << i << ": " << text;
    }
    EXPECT_GT(long_ones, 10);
}
