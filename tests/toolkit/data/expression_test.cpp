#include "toolkit/data/expression.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/import_hook.h"
#include "tests/toolkit/data/expr_reference.h"

struct ExprCase {
    const char* text;
    int value;
};

TEST(Expression, WorkedExamples)
{
    const ExprCase cases[] = {
        {"1+2*3", 7}, {"8-3-2", 3}, {"7/2", 3}, {"-7/2", -3}, {"-7%3", -1}, {"7%-3", 1},
        {"2--3", 5}, {"--4", 4}, {"-0x10", -16}, {"0x1F", 31}, {"0xff", 255}, {"0X1F", 0},
        {"[1+2]*[3+4]", 21}, {"[2*[1+1]]+1", 5}, {"[]", 0}, {"12*[3+4]", 84},
        {"2147483647+1", -2147483647 - 1}, {"65536*65536", 0}, {"4294967297", 1},
        {"-2147483648", -2147483647 - 1}, {"0x", 0}, {"0x123456789", 0x23456789},
        // A missing number counts as 0; the parse stops where the grammar does.
        {"", 0}, {"5+", 5}, {"5*", 0}, {"+5", 5}, {"*5", 0}, {"1 + 2", 1}, {"12]+5", 12},
        // Group values stand in their places as text.
        {"2[3]", 23}, {"-[-3]", 3}, {"3-[-5]", 8},
        // Division never traps.
        {"5/0", 0}, {"5%0", 0}, {"5/", 0}, {"5%", 0}, {"5/[2-2]", 0},
        {"-2147483648/-1", -2147483647 - 1}, {"-2147483648%-1", 0}, {"7/-1", -7},
        // A group left open runs to the end and ends the expression there.
        {"2*[3+4", 14}, {"1+[2", 3}, {"[[1+2]*3", 9}, {"2*[3+[4", 14}, {"[", 0},
        // A two-byte character is one unit, never a bracket (ー is 81 5B, ゾ 83 5D).
        {"1+2ー", 3}, {"[5ゾ]*2", 10}, {"[ー]+1", 1}, {"[1ー[2]]+1", 2}, {"3+\x81", 3},
    };
    for (const ExprCase& c : cases) {
        EXPECT_EQ(c.value, EvalExpr(c.text)) << c.text;
        EXPECT_EQ(0, ExprStackCount);
    }
    EXPECT_EQ(0, EvalExpr(nullptr));
}

TEST(Expression, FlatEvaluatorStopsAtBrackets)
{
    EXPECT_EQ(3, EvalFlatExpr("1+2[3]"));
    EXPECT_EQ(0, EvalFlatExpr("[1]"));
    EXPECT_EQ(0, EvalFlatExpr(nullptr));
}

TEST(Expression, HexToInt)
{
    const ExprCase cases[] = {
        {"ff", 255}, {"FF", 255}, {"1g", 0}, {"", 0}, {"0x1", 0}, {"-1", 0}, {"7fffffff", 0x7fffffff},
        {"80000000", -2147483647 - 1}, {"123456789", 0x23456789}, {"aBcDeF", 0xabcdef},
    };
    for (const ExprCase& c : cases)
        EXPECT_EQ(c.value, HexToInt(c.text)) << c.text;
    EXPECT_EQ(0, HexToInt(nullptr));
}

// No level, number or hexadecimal text is cut at any length.
TEST(Expression, LongTextsAreEvaluatedWhole)
{
    std::string sum;
    for (int i = 0; i < 300; i++)
        sum += "1+";
    EXPECT_EQ(301, EvalExpr((sum + "1").c_str()));
    EXPECT_EQ(301, EvalFlatExpr((sum + "1").c_str()));
    EXPECT_EQ(306, EvalExpr((sum + "[2*3]").c_str()));
    EXPECT_EQ(306, EvalExpr(("[" + sum + "[2*3]]").c_str()));
    // Levels of 254 to 258 bytes, the last written by a group's value.
    for (int len = 254; len <= 258; len++) {
        std::string text(len - 2, '0');
        EXPECT_EQ(10, EvalExpr((text + "[10]").c_str())) << len;
        EXPECT_EQ(7, EvalExpr((text + "7+[0]").c_str())) << len;
    }
    std::string zeros(300, '0');
    EXPECT_EQ(7, EvalExpr((zeros + "7").c_str()));
    EXPECT_EQ(31, EvalExpr(("0x" + zeros + "1f").c_str()));
    EXPECT_EQ(0x23456789, HexToInt((zeros + "123456789").c_str()));
    EXPECT_EQ(0, HexToInt((zeros + "12g").c_str()));
}

TEST(Expression, NestingBeyondTheBoundGivesZero)
{
    std::string open(ExprMaxDepth, '['), close(ExprMaxDepth, ']');
    EXPECT_EQ(5, EvalExpr((open + "5" + close).c_str()));
    EXPECT_EQ(0, EvalExpr(("[" + open + "5" + close + "]").c_str()));
    EXPECT_EQ(0, EvalExpr(("1+" + open + "[5" + close + "]").c_str()));
    EXPECT_EQ(0, EvalExpr((std::string(100000, '[') + "5").c_str()));
    EXPECT_EQ(7, EvalExpr("7"));
}

// GlobalAlloc, counted and made to fail at one chosen call.
static HGLOBAL(WINAPI* RealGlobalAlloc)(UINT, SIZE_T);
static HGLOBAL(WINAPI* RealGlobalFree)(HGLOBAL);
static int AllocCalls, Allocated, Freed, FailAt;

static HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T size)
{
    if (++AllocCalls == FailAt)
        return nullptr;
    Allocated++;
    return RealGlobalAlloc(flags, size);
}

static HGLOBAL WINAPI CountedGlobalFree(HGLOBAL block)
{
    Freed++;
    return RealGlobalFree(block);
}

// Evaluates text with the fail_at-th allocation failing (0: none fails).
static int EvalFailing(const char* text, int fail_at)
{
    AllocCalls = Allocated = Freed = 0;
    FailAt = fail_at;
    EXPECT_TRUE(HookImport("kernel32.dll", "GlobalAlloc", (void*)FailingGlobalAlloc,
                           (void**)&RealGlobalAlloc));
    EXPECT_TRUE(HookImport("kernel32.dll", "GlobalFree", (void*)CountedGlobalFree,
                           (void**)&RealGlobalFree));
    int value = EvalExpr(text);
    RestoreImport((void*)FailingGlobalAlloc, (void*)RealGlobalAlloc);
    RestoreImport((void*)CountedGlobalFree, (void*)RealGlobalFree);
    return value;
}

TEST(Expression, FailedAllocationGivesZeroAndLeaksNothing)
{
    const ExprCase cases[] = {{"1+2*3-4", 3}, {"2*[3+4]-[5%[6]]", 9}};
    for (const ExprCase& c : cases) {
        EXPECT_EQ(c.value, EvalFailing(c.text, 0));
        int nodes = Allocated;
        EXPECT_EQ(nodes, Freed);
        ASSERT_GE(nodes, 7);
        for (int fail_at : {1, nodes / 2, nodes}) {
            EXPECT_EQ(0, EvalFailing(c.text, fail_at)) << c.text << " " << fail_at;
            EXPECT_EQ(fail_at - 1, Allocated) << c.text;
            EXPECT_EQ(Allocated, Freed) << c.text << " " << fail_at;
            EXPECT_EQ(0, ExprStackCount);
        }
        EXPECT_EQ(c.value, EvalExpr(c.text));
    }
}

// Random expressions against the reference: digits, hexadecimal numbers,
// all five operators, runs of unary minus, nested groups, values that
// overflow, zero divisors, and sums long enough to outgrow a 256-byte level.
class ExprGenerator {
public:
    explicit ExprGenerator(unsigned seed) : rng_(seed) {}

    std::string Sum(int depth)
    {
        std::string s = Product(depth);
        for (int n = depth == 0 && Pick(8) == 0 ? Pick(80) : Pick(4); n > 0; n--)
            s += (Pick(2) ? "+" : "-") + Product(depth);
        return s;
    }

private:
    std::string Product(int depth)
    {
        std::string s = Operand(depth);
        for (int n = Pick(3); n > 0; n--)
            s += "*/%"[Pick(3)] + Operand(depth);
        return s;
    }

    std::string Operand(int depth)
    {
        static const char* const special[] = {"0", "1", "2147483647", "2147483648",
                                               "4294967296", "0x80000000", "0xFFFFFFFF"};
        std::string s(Pick(5) == 0 ? 1 + Pick(3) : 0, '-');
        int kind = Pick(10);
        if (kind < 1 && depth < 6)
            return s + "[" + Sum(depth + 1) + "]";
        if (kind < 3)
            return s + special[Pick(7)];
        if (kind < 6) {
            s += "0x";
            for (int n = 1 + Pick(10); n > 0; n--)
                s += "0123456789abcdefABCDEF"[Pick(22)];
            return s;
        }
        for (int n = 1 + Pick(kind == 9 ? 12 : 3); n > 0; n--)
            s += (char)('0' + Pick(10));
        return s;
    }

    int Pick(int n) { return (int)(rng_() % (unsigned)n); }

    std::mt19937 rng_;
};

TEST(Expression, AgreesWithAnIndependentEvaluator)
{
    const unsigned seed = 20240610;
    ExprGenerator gen(seed);
    int long_ones = 0;
    for (int i = 0; i < 5000; i++) {
        std::string text = gen.Sum(0);
        long_ones += text.size() > 255;
        int want = RefEval(text.c_str());
        ASSERT_EQ(want, EvalExpr(text.c_str())) << "seed " << seed << " case " << i << ": " << text;
        if (text.find('[') == std::string::npos) {
            ASSERT_EQ(want, EvalFlatExpr(text.c_str())) << "seed " << seed << ": " << text;
        }
    }
    EXPECT_GT(long_ones, 10);
}
