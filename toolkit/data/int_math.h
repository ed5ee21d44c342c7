#pragma once
// Small integer and curve routines: a table of squares, a wrap into a range,
// a limit between two bounds, a triangle wave, a fade envelope with easing
// curves, Lagrange interpolation through integer points and the Takeuchi
// function. Results are signed 32-bit; divisions truncate toward zero.
// None of them traps, whatever the arguments, with one exception: Tarai's
// recursion can outgrow the stack (see there).

#include <windows.h>

// Entry i holds (i - 1024) squared once BuildSquareTable has run (zero
// before), so the square of d from -1024 to 1023 stands at d + 1024.
const int SquareTableSize = 2048;
extern int SquareTable[SquareTableSize];

// Fills SquareTable.
void BuildSquareTable();

// Returns value modulo modulus, from 0 to |modulus| - 1: for a positive
// modulus m, v mod m (-1 gives m - 1); for a negative one, -v mod -m, both
// taken as exact integers (so -2147483648 wraps modulo 2^31). 0 when the
// modulus is 0. Costs the same for every value.
int WrapIndex(int value, int modulus);

// Returns value limited to the range between bound1 and bound2, which may
// come in either order.
int ClampBetween(int value, int bound1, int bound2);

// Returns the triangle wave of value with the given span: 0 up to span and
// back down to 0 every 2 x span steps (computed in 64 bits, so any span
// works). A negative value gives the remainder of value by 2 x span, which
// is negative. 0 when span is 0 or less.
int PingPong(int value, int span);

// Returns the level at pos of an envelope that rises from 0 to peak over
// span steps from start, holds peak, and falls to 0 over the span steps
// before end, shaped by curve; from 0 to peak. Curves: 0 linear; 1 squares
// the level (L * L / peak); 2 squares its distance from peak
// (peak - (peak - L)^2 / peak); 3 moves fast at the start of each ramp and
// slowly at its end; 4 the other way round; any other acts as 0.
// Products and quotients are exact (64 bits). 0 when span or peak is 0 or
// less: no envelope is defined then (PingPong likewise gives 0 for a span of
// 0 or less).
int FadeLevel(int pos, int start, int end, int span, int peak, int curve);

// Returns the Takeuchi function (tarai form) of x, y, z, without caching:
// its time grows very fast with x - y. Arithmetic wraps. The recursion nests
// x - y + 1 levels deep or more when x > y (Tarai(x, 0, 0) exactly x + 1),
// and every level takes stack, so an x - y in the tens of thousands
// overflows the stack and ends the program, even where the time would be
// short (Tarai(100000, 0, 0) runs in linear time but nests 100,001 deep).
int Tarai(int x, int y, int z);

// Returns the Lagrange polynomial through points[0..n] at x; 0.0 when n is
// below 0. Two points with equal x give a result that is not finite. The
// differences of the points' x are formed exactly, in double: in 32 bits
// INT_MAX - INT_MIN would wrap to -1 and give a plainly wrong result.
double LagrangeAt(double x, int n, const POINT* points);
