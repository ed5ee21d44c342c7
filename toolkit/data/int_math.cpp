#include "toolkit/data/int_math.h"

int SquareTable[SquareTableSize];

void BuildSquareTable()
{
    for (int i = 0; i < SquareTableSize; i++)
        SquareTable[i] = (i - 1024) * (i - 1024);
}

// Both the modulo and the negation of a negative modulus are taken in 64
// bits: in 32 bits the modulus -2147483648 stays negative when negated.
int WrapIndex(int value, int modulus)
{
    if (modulus == 0)
        return 0;
    long long v = value, m = modulus;
    if (m < 0) {
        v = -v;
        m = -m;
    }
    long long r = v % m;
    return (int)(r < 0 ? r + m : r);
}

int ClampBetween(int value, int bound1, int bound2)
{
    int low = bound1 < bound2 ? bound1 : bound2;
    int high = bound1 < bound2 ? bound2 : bound1;
    if (value < low)
        value = low;
    if (value > high)
        value = high;
    return value;
}

int PingPong(int value, int span)
{
    if (span <= 0)
        return 0;
    long long period = 2 * (long long)span;
    long long r = value % period;
    return (int)(r >= span ? period - r : r);
}

// (pos - from) * peak / span limited to 0 .. peak, for a positive span and
// peak. The product is formed only for a distance inside the span, where
// it stays below 2^62.
static long long Ramp(int pos, long long from, int span, int peak)
{
    long long distance = pos - from;
    if (distance <= 0)
        return 0;
    if (distance >= span)
        return peak;
    return distance * peak / span;
}

// level squared over peak, and the mirror image: peak less the square of
// the distance from peak. Both stay within 0 .. peak.
static long long Square(long long level, long long peak)
{
    return level * level / peak;
}

static long long SquareFromPeak(long long level, long long peak)
{
    return peak - Square(peak - level, peak);
}

int FadeLevel(int pos, int start, int end, int span, int peak, int curve)
{
    if (span <= 0 || peak <= 0)
        return 0;
    long long level = Ramp(pos, start, span, peak);
    if (level < peak) {
        if (curve == 3)
            level = SquareFromPeak(level, peak);
        else if (curve == 4)
            level = Square(level, peak);
    } else {
        // The fall is looked at only once the rise is complete.
        level = peak - Ramp(pos, (long long)end - span, span, peak);
        if (curve == 3)
            level = Square(level, peak);
        else if (curve == 4)
            level = SquareFromPeak(level, peak);
    }
    if (curve == 1)
        level = Square(level, peak);
    else if (curve == 2)
        level = SquareFromPeak(level, peak);
    return (int)level;
}

// Wrapping decrement: the recursion only lowers x when x > y, but y and z
// may be the most negative value.
static int Less1(int v)
{
    return (int)((unsigned int)v - 1u);
}

int Tarai(int x, int y, int z)
{
    if (x <= y)
        return y;
    return Tarai(Tarai(Less1(x), y, z), Tarai(Less1(y), z, x), Tarai(Less1(z), x, y));
}

double LagrangeAt(double x, int n, const POINT* points)
{
    double sum = 0.0;
    for (int i = 0; i <= n; i++) {
        double factor = 1.0;
        for (int j = 0; j <= n; j++) {
            if (j != i)
                factor *= (x - points[j].x) / ((double)points[i].x - (double)points[j].x);
        }
        sum += points[i].y * factor;
    }
    return sum;
}
