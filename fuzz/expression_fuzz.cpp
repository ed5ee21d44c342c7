// The evaluator on any text: it ends, leaves its module state clean and
// frees every node (the leak check); it treats a two-byte character as one
// unit without meaning wherever it stands; and within the grammar it agrees
// with the tests' independent evaluator.
#include "toolkit/data/expression.h"

#include "fuzz/fuzz_check.h"
#include "tests/toolkit/data/expr_reference.h"

// Tells whether text[pos..) opens a sum within the grammar that the reference
// reads: operands of "-" signs and a decimal number, "0x" and hexadecimal
// digits, or a bracketed sum, nested at most ExprMaxDepth deep; a missing
// number counts; groups left open only at the very end of the text.
static bool SumInGrammar(const char* text, size_t& pos, int depth)
{
    for (;;) {
        while (text[pos] == '-')
            pos++;
        if (text[pos] == '[') {
            if (depth == ExprMaxDepth)
                return false;
            pos++;
            if (!SumInGrammar(text, pos, depth + 1))
                return false;
            if (text[pos] == ']')
                pos++;
        } else if (text[pos] == '0' && text[pos + 1] == 'x') {
            for (pos += 2; strchr("0123456789abcdefABCDEF", text[pos]) && text[pos]; pos++) {
            }
        } else {
            for (; text[pos] >= '0' && text[pos] <= '9'; pos++) {
            }
        }
        if (!text[pos] || (text[pos] == ']' && depth > 0))
            return true;
        if (!strchr("+-*/%", text[pos]))
            return false;
        pos++;
    }
}

static int Evaluate(const char* text)
{
    int value = EvalExpr(text);
    FUZZ_REQUIRE(ExprStackCount == 0 && ExprPos == 0 && strcmp(ExprText, "") == 0);
    return value;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    HeapText src(SplitInput(data, size, 1)[0]);
    int value = Evaluate(src.text);
    EvalFlatExpr(src.text);
    HexToInt(src.text);

    // Every two-byte character (and a lone lead byte at the end) made into
    // spaces, which mean nothing either: the value stays.
    std::string masked(src.text, src.len);
    std::vector<bool> boundary = RefBoundaries(src.text, src.len);
    for (size_t i = 0; i < src.len; i++)
        if (boundary[i] && RefIsLead((unsigned char)masked[i]))
            masked[i] = ' ', i + 1 < src.len ? (void)(masked[i + 1] = ' ') : (void)0;
    HeapText plain(masked);
    FUZZ_REQUIRE(Evaluate(plain.text) == value);

    size_t pos = 0;
    if (SumInGrammar(src.text, pos, 0)) {
        FUZZ_REQUIRE(value == RefEval(src.text));
        if (!strchr(src.text, '['))
            FUZZ_REQUIRE(EvalFlatExpr(src.text) == value);
    }
    return 0;
}
