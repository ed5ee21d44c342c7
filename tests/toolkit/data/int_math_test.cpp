#include "toolkit/data/int_math.h"

#include <limits.h>
#include <math.h>

#include <random>

#include <gtest/gtest.h>

struct IntCase {
    int a, b, want;
};

TEST(IntMath, WrapIndex)
{
    const IntCase cases[] = {
        {7, 3, 1}, {-1, 5, 4}, {-7, 3, 2}, {7, -3, 2}, {5, 0, 0}, {INT_MIN, -3, 2}, {INT_MIN, INT_MIN, 0},
        {1, INT_MIN, INT_MAX}, {INT_MAX, INT_MIN, 1}, {INT_MIN, INT_MAX, INT_MAX - 1}, {INT_MAX, -1, 0},
    };
    for (const IntCase& c : cases)
        EXPECT_EQ(c.want, WrapIndex(c.a, c.b)) << c.a << " mod " << c.b;
    // Against exact integers, over values far from the range (a loop of
    // additions would take seconds here, or never end).
    const unsigned seed = 7;
    std::mt19937 rng(seed);
    const int moduli[] = {INT_MIN, INT_MIN + 1, -1000, -3, -1, 1, 2, 3, 1000, INT_MAX};
    for (int i = 0; i < 20000; i++) {
        int v = (int)rng(), m = i % 2 ? moduli[i / 2 % 10] : (int)rng();
        long long ev = m < 0 ? -(long long)v : v, em = m < 0 ? -(long long)m : m;
        ASSERT_EQ(m ? (ev % em + em) % em : 0, WrapIndex(v, m)) << "seed " << seed << ": " << v << " mod " << m;
    }
}

TEST(IntMath, ClampPingPongTaraiSquares)
{
    EXPECT_EQ(10, ClampBetween(15, 10, 0));
    EXPECT_EQ(10, ClampBetween(15, 0, 10));
    EXPECT_EQ(0, ClampBetween(-5, 0, 10));
    EXPECT_EQ(5, ClampBetween(5, 10, 0));
    const IntCase waves[] = {
        {0, 3, 0}, {3, 3, 3}, {4, 3, 2}, {6, 3, 0}, {7, 3, 1}, {-1, 3, -1}, {5, 0, 0}, {5, -2, 0},
        {INT_MAX, 1073741824, 1}, {INT_MAX, 1073741825, 3}, {INT_MAX, INT_MAX, INT_MAX},
    };
    for (const IntCase& c : waves)
        EXPECT_EQ(c.want, PingPong(c.a, c.b)) << c.a << " span " << c.b;
    EXPECT_EQ(2, Tarai(1, 2, 3));
    EXPECT_EQ(12, Tarai(12, 6, 0));
    EXPECT_EQ(5, Tarai(3, 2, 5));  // x > y and y <= z give z
    BuildSquareTable();
    EXPECT_EQ(1048576, SquareTable[0]);
    EXPECT_EQ(0, SquareTable[1024]);
    EXPECT_EQ(1, SquareTable[1025]);
    EXPECT_EQ(1046529, SquareTable[2047]);
}

TEST(IntMath, FadeLevel)
{
    // start 0, end 100, span 10, peak 255; curves 0 to 4 and an unknown one (7).
    const struct {
        int pos, want[6];
    } rows[] = {
        {-5, {0, 0, 0, 0, 0, 0}}, {1, {25, 2, 48, 48, 2, 25}}, {5, {127, 63, 191, 191, 63, 127}},
        {10, {255, 255, 255, 255, 255, 255}}, {90, {255, 255, 255, 255, 255, 255}},
        {95, {128, 64, 192, 64, 192, 128}}, {99, {26, 2, 50, 2, 50, 26}}, {100, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& r : rows)
        for (int c = 0; c < 6; c++)
            EXPECT_EQ(r.want[c], FadeLevel(r.pos, 0, 100, 10, 255, c < 5 ? c : 7)) << r.pos << " curve " << c;
    // No envelope for a span or a peak of 0 or less, on any curve; nor at the
    // lowest position before the latest start.
    const struct {
        int pos, start, end, span, peak;
    } zero[] = {
        {5, 0, 100, 0, 255}, {5, 0, 100, 10, 0}, {-5, 0, 100, -10, 255}, {50, 0, 100, -10, 255},
        {50, 0, 100, 10, -255}, {INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX},
        {INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX},
    };
    for (const auto& z : zero)
        for (int c = 0; c < 5; c++)
            EXPECT_EQ(0, FadeLevel(z.pos, z.start, z.end, z.span, z.peak, c))
                << z.pos << " span " << z.span << " peak " << z.peak << " curve " << c;
    EXPECT_EQ(0, FadeLevel(10, 0, 10, 10, 100, 0));  // the fall overlaps the rise
    // Products past 32 bits give the true values; extremes never trap.
    EXPECT_EQ(25000, FadeLevel(5, 0, 100, 10, 100000, 1));
    EXPECT_EQ(100000000, FadeLevel(50, 0, 100, 10, 100000000, 0));
    EXPECT_EQ(INT_MAX / 2, FadeLevel(INT_MAX / 2, 0, INT_MAX, INT_MAX, INT_MAX, 0));
    EXPECT_EQ(0, FadeLevel(INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 2));
    EXPECT_EQ(0, FadeLevel(0, INT_MIN, INT_MAX, INT_MIN, INT_MIN, 1));
}

TEST(IntMath, LagrangeAt)
{
    const POINT parabola[] = {{0, 0}, {1, 1}, {2, 4}}, same_x[] = {{1, 1}, {1, 2}};
    EXPECT_DOUBLE_EQ(9.0, LagrangeAt(3.0, 2, parabola));
    EXPECT_DOUBLE_EQ(4.0, LagrangeAt(3.0, 0, parabola + 2));
    EXPECT_DOUBLE_EQ(0.0, LagrangeAt(3.0, -1, parabola + 2));
    EXPECT_FALSE(isfinite(LagrangeAt(0.5, 1, same_x)));
    const POINT wide[] = {{INT_MIN, 3}, {INT_MAX, 1}};  // xi - xj spans 2^32 - 1
    EXPECT_DOUBLE_EQ(1.0, LagrangeAt(INT_MAX, 1, wide));
    EXPECT_DOUBLE_EQ(3.0, LagrangeAt(INT_MIN, 1, wide));
}
