#pragma once
// An independent evaluator for the expression grammar, written apart from the
// toolkit's: direct recursive descent with no nodes and no text substitution,
// groups taken as operands, every step computed in 64 bits and reduced to 32.
// It reads well-formed texts only (no stray characters, every "[" closed);
// the tests check the toolkit against it and the benchmark times it.

// Keeps the low 32 bits of v as a signed value.
inline long long RefLow32(long long v)
{
    v &= 0xFFFFFFFFLL;
    return v >= 0x80000000LL ? v - 0x100000000LL : v;
}

inline long long RefSum(const char*& p);

inline long long RefOperand(const char*& p)
{
    bool negative = false;
    for (; *p == '-'; p++)
        negative = !negative;
    long long v = 0;
    if (*p == '[') {
        p++;
        v = RefSum(p);
        if (*p == ']')
            p++;
    } else if (p[0] == '0' && p[1] == 'x') {
        for (p += 2;; p++) {
            char c = *p | 0x20;  // lower case for letters; digits unchanged
            if (c >= '0' && c <= '9')
                v = RefLow32(v * 16 + (c - '0'));
            else if (c >= 'a' && c <= 'f')
                v = RefLow32(v * 16 + (c - 'a' + 10));
            else
                break;
        }
    } else {
        for (; *p >= '0' && *p <= '9'; p++)
            v = RefLow32(v * 10 + (*p - '0'));
    }
    return RefLow32(negative ? -v : v);
}

inline long long RefProduct(const char*& p)
{
    long long v = RefOperand(p);
    while (*p == '*' || *p == '/' || *p == '%') {
        char op = *p++;
        long long r = RefOperand(p);
        if (op == '*')
            v = RefLow32(v * r);
        else if (r == 0)
            v = 0;
        else
            v = RefLow32(op == '/' ? v / r : v % r);
    }
    return v;
}

inline long long RefSum(const char*& p)
{
    long long v = RefProduct(p);
    while (*p == '+' || *p == '-') {
        char op = *p++;
        long long r = RefProduct(p);
        v = RefLow32(op == '+' ? v + r : v - r);
    }
    return v;
}

inline int RefEval(const char* text)
{
    return (int)RefSum(text);
}
