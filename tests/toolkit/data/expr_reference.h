#pragma once
// An independent evaluator for the expression grammar, written apart from the
// toolkit's: direct recursive descent with no nodes and no text substitution,
// groups taken as operands, every step computed in 64 bits and reduced to 32.
// It reads well-formed texts only (no stray characters, every "[" closed);
// the tests check the toolkit against it and the benchmark times it.
#include <string.h>

// Keeps the low 32 bits of v as a signed value.
inline long long RefLow32(long long v)
{
    v &= 0xFFFFFFFFLL;
    return v >= 0x80000000LL ? v - 0x100000000LL : v;
}

inline long long RefChain(const char*& p, int level);

inline long long RefOperand(const char*& p)
{
    bool negative = false;
    for (; *p == '-'; p++)
        negative = !negative;
    long long v = 0;
    if (*p == '[') {
        v = RefChain(++p, 0);
        p += *p == ']';
    } else {
        static const char digits[] = "0123456789abcdef";
        int base = p[0] == '0' && p[1] == 'x' ? 16 : 10;
        const char* d;
        for (p += base == 16 ? 2 : 0; *p && (d = strchr(digits, *p | 0x20)) && d - digits < base; p++)
            v = RefLow32(v * base + (d - digits));
    }
    return RefLow32(negative ? -v : v);
}

// Level 0 is a sum of products, level 1 a product of operands.
inline long long RefChain(const char*& p, int level)
{
    long long v = level ? RefOperand(p) : RefChain(p, 1);
    while (*p && strchr(level ? "*/%" : "+-", *p)) {
        char op = *p++;
        long long r = level ? RefOperand(p) : RefChain(p, 1);
        if (op == '+' || op == '-' || op == '*')
            v = op == '+' ? v + r : op == '-' ? v - r : v * r;
        else
            v = r == 0 ? 0 : op == '/' ? v / r : v % r;
        v = RefLow32(v);
    }
    return v;
}

inline int RefEval(const char* text)
{
    return (int)RefChain(text, 0);
}
