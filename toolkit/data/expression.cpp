#include "toolkit/data/expression.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "toolkit/data/dbcs_text.h"

const char* ExprText = "";
int ExprPos;
int ExprStack[ExprStackSize];
int ExprStackCount;

// Wrapping arithmetic is done in unsigned 32 bits, where overflow is
// defined, and read back as signed: the low 32 bits in two's complement.
static int Signed(unsigned int value)
{
    return (int)value;
}

// Reads the hexadecimal digits (either case) at text: returns their value,
// in which only the last eight digits remain, and their count in *len.
static unsigned int ReadHex(const char* text, int* len)
{
    unsigned int value = 0;
    int n = 0;
    for (;; n++) {
        char c = text[n];
        unsigned int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value << 4 | digit;
    }
    *len = n;
    return value;
}

// Reads the decimal digits at text: returns their value modulo 2^32 and
// their count in *len. (The C runtimes' atoi disagree about overflow.)
static unsigned int ReadDecimal(const char* text, int* len)
{
    unsigned int value = 0;
    int n = 0;
    for (; text[n] >= '0' && text[n] <= '9'; n++)
        value = value * 10 + (unsigned int)(text[n] - '0');
    *len = n;
    return value;
}

int HexToInt(const char* text)
{
    if (!text)
        return 0;
    int len;
    unsigned int value = ReadHex(text, &len);
    return len > 0 && text[len] == 0 ? Signed(value) : 0;
}

ExprNode* NewExprNode(int kind, int value)
{
    ExprNode* node = (ExprNode*)GlobalAlloc(GPTR, sizeof(ExprNode));
    if (!node)
        return 0;
    node->kind = kind;
    node->value = value;
    node->next = 0;
    return node;
}

static ExprNode* LastExprNode(ExprNode* list)
{
    while (list->next)
        list = list->next;
    return list;
}

void AppendExprNode(ExprNode* list, ExprNode* addition)
{
    LastExprNode(list)->next = addition;
}

void FreeExprList(ExprNode* list)
{
    while (list) {
        ExprNode* next = list->next;
        // A block of our own that the platform refuses to free cannot be
        // mended here; the list is walked to its end regardless.
        GlobalFree(list);
        list = next;
    }
}

ExprNode* ParseExprNumber()
{
    int negate = 0;
    while (ExprText[ExprPos] == '-') {
        negate = !negate;
        ExprPos++;
    }
    const char* at = ExprText + ExprPos;
    int len;
    unsigned int value;
    if (at[0] == '0' && at[1] == 'x') {
        value = ReadHex(at + 2, &len);
        len += 2;
    } else {
        value = ReadDecimal(at, &len);
    }
    ExprPos += len;
    return NewExprNode(0, Signed(negate ? 0u - value : value));
}

// Parses operand, then any pairs of an operator from ops and an operand,
// into postfix order (left-associative). Appends at the tail it tracks, so
// a long chain costs time in proportion to its length.
static ExprNode* ParseChain(ExprNode* (*operand)(), const char* ops)
{
    ExprNode* list = operand();
    if (!list)
        return 0;
    ExprNode* tail = LastExprNode(list);
    while (ExprText[ExprPos] != 0 && strchr(ops, ExprText[ExprPos])) {
        char op = ExprText[ExprPos++];
        ExprNode* right = operand();
        ExprNode* node = right ? NewExprNode(1, op) : 0;
        if (!node) {
            FreeExprList(list);
            FreeExprList(right);
            return 0;
        }
        AppendExprNode(tail, right);
        AppendExprNode(right, node);
        tail = node;
    }
    return list;
}

ExprNode* ParseExprTerm()
{
    return ParseChain(ParseExprNumber, "*/%");
}

ExprNode* ParseExprSum()
{
    return ParseChain(ParseExprTerm, "+-");
}

// Applies an operator; never traps (see the header for / and %).
static int Apply(int op, int left, int right)
{
    unsigned int l = (unsigned int)left, r = (unsigned int)right;
    switch (op) {
    case '+':
        return Signed(l + r);
    case '-':
        return Signed(l - r);
    case '*':
        return Signed(l * r);
    case '/':
        if (right == 0)
            return 0;
        if (right == -1)
            return Signed(0u - l);
        return left / right;
    case '%':
        if (right == 0 || right == -1)
            return 0;
        return left % right;
    }
    return 0;
}

// The list is built by the parser, which never puts more than three values
// on the stack nor pops an empty one; the checks keep a stray list harmless.
static void Push(int value)
{
    if (ExprStackCount < ExprStackSize)
        ExprStack[ExprStackCount++] = value;
}

static int Pop()
{
    return ExprStackCount > 0 ? ExprStack[--ExprStackCount] : 0;
}

// Parses and runs text without groups. *ok becomes 0 when a node could not
// be allocated; the value is then 0.
static int RunFlat(const char* text, int* ok)
{
    ExprText = text ? text : "";
    ExprPos = 0;
    ExprNode* list = ParseExprSum();
    *ok = list != 0;
    for (ExprNode* node = list; node; node = node->next) {
        if (node->kind == 0) {
            Push(node->value);
        } else {
            int right = Pop();
            int left = Pop();
            Push(Apply(node->value, left, right));
        }
    }
    FreeExprList(list);
    int value = ExprStackCount > 0 ? ExprStack[0] : 0;
    ExprStackCount = 0;
    // The text may be a buffer that is about to be freed: leave the parse
    // levels an empty text rather than a pointer into it.
    ExprText = "";
    ExprPos = 0;
    return value;
}

int EvalFlatExpr(const char* text)
{
    int ok;
    return RunFlat(text, &ok);
}

// One run of EvalExpr. Each bracket level collects its text, with its groups'
// values in their places, into one growing buffer: a level starts where its
// parent has got to, and the parent writes the group's value over it once
// the level has been evaluated. Short texts stay in local.
struct GroupWalk {
    const char* text;
    char* buf;
    int size;
    int failed;  // too deep or out of memory: the whole expression gives 0
    char local[256];
};

// Stores n bytes of src at index at of the walk's buffer, growing it when
// needed. Returns 0 and marks the walk failed when it cannot grow.
static int PutText(GroupWalk* walk, int at, const char* src, int n)
{
    int need = at + n;
    if (need > walk->size) {
        if (need > 0x3FFFFFFF) {
            walk->failed = 1;
            return 0;
        }
        int size = need > walk->size * 2 ? need : walk->size * 2;
        char* buf = (char*)(walk->buf == walk->local ? malloc(size) : realloc(walk->buf, size));
        if (!buf) {
            walk->failed = 1;
            return 0;
        }
        if (walk->buf == walk->local)
            memcpy(buf, walk->local, walk->size);
        walk->buf = buf;
        walk->size = size;
    }
    memcpy(walk->buf + at, src, n);
    return 1;
}

// Collects the level of the walk's text that starts at index pos into the
// buffer from index at, evaluating each group on the way, and returns the
// level's value. *end receives the index of the "]" that closes the level,
// or of the end of the text. A two-byte character is stepped over whole, so
// its second byte is never taken for a bracket.
static int EvalLevel(GroupWalk* walk, int pos, int at, int depth, int* end)
{
    const char* text = walk->text;
    int len = at;
    int n;
    while ((n = DbcsCharLength(text + pos)) != 0 && text[pos] != ']') {
        if (text[pos] != '[') {
            if (!PutText(walk, len, text + pos, n))
                return 0;
            len += n;
            pos += n;
            continue;
        }
        if (depth == ExprMaxDepth) {
            walk->failed = 1;
            return 0;
        }
        int close = pos + 1;
        int value = EvalLevel(walk, pos + 1, len, depth + 1, &close);
        if (walk->failed)
            return 0;
        char num[12];
        int digits = wsprintfA(num, "%d", value);
        if (!PutText(walk, len, num, digits))
            return 0;
        len += digits;
        // A group left open ran to the end of the text; this level ends there too.
        pos = text[close] == ']' ? close + 1 : close;
    }
    *end = pos;
    if (!PutText(walk, len, "", 1))
        return 0;
    int ok;
    int value = RunFlat(walk->buf + at, &ok);
    if (!ok)
        walk->failed = 1;
    return value;
}

int EvalExpr(const char* text)
{
    if (!text)
        return 0;
    GroupWalk walk;
    walk.text = text;
    walk.buf = walk.local;
    walk.size = sizeof walk.local;
    walk.failed = 0;
    int end;
    int value = EvalLevel(&walk, 0, 0, 0, &end);
    if (walk.buf != walk.local)
        free(walk.buf);
    return walk.failed ? 0 : value;
}
