#pragma once
// Integer expression evaluator: one line of text with decimal numbers,
// hexadecimal numbers written "0x...", unary minus, the operators + - * / %
// and square brackets that group. No spaces, no parentheses, no variables.
// The text is parsed into a postfix list of nodes, one global memory block
// each, and the list is run on a small value stack.
//
// Arithmetic is signed 32-bit with wrap-around: sums, differences, products,
// negations and numbers that do not fit keep their low 32 bits. A division
// or remainder by 0 gives 0; the most negative value divided by -1 gives
// itself, its remainder by -1 is 0. Parsing stops at the first character
// that does not continue the grammar (a space, a letter, a two-byte
// character, the end); a missing number counts as 0. Every text yields a
// value; nothing traps. Texts are code page 932; a two-byte character is
// one unit without meaning, never a bracket. Not for two threads at once.

// One node of a postfix list: a number (kind 0, its value) or an operator
// (kind 1, the operator's character code).
struct ExprNode {
    int kind;
    int value;
    ExprNode* next;
};

// Deepest bracket nesting evaluated; a deeper text yields 0 as a whole.
const int ExprMaxDepth = 256;

// Size of the value stack. The grammar never holds more than three values.
const int ExprStackSize = 32;

// Module state, shared by all calls: the text being parsed, the index of the
// next character to look at, and the value stack. Between calls the text is
// empty (never a pointer into a caller's or an evaluation's buffer), the
// index 0 and the stack empty.
extern const char* ExprText;
extern int ExprPos;
extern int ExprStack[ExprStackSize];
extern int ExprStackCount;

// Returns the value of text, which may hold [ ] groups. A group is evaluated
// first and its value stands in its place as decimal text. An unmatched "]"
// at the outer level ends the expression; a group without its "]" runs to
// the end of the text and ends the whole expression there. Returns 0 for a
// null text, for nesting deeper than ExprMaxDepth and when memory runs out.
int EvalExpr(const char* text);

// Returns the value of text without groups (parsing stops at "["); 0 for a
// null text and when memory runs out.
int EvalFlatExpr(const char* text);

// Returns the value of a text of hexadecimal digits (either case, no
// prefix, any length; with more than eight digits the last eight count); 0
// for a null or empty text or one holding any other character.
int HexToInt(const char* text);

// Parse levels, reading ExprText from ExprPos and advancing it. Each returns
// the head of a new postfix list owned by the caller, or null when a node
// could not be allocated (nothing is then left allocated).
ExprNode* ParseExprSum();
ExprNode* ParseExprTerm();
ExprNode* ParseExprNumber();

// Returns a new node with next null, or null when memory runs out.
ExprNode* NewExprNode(int kind, int value);

// Links addition (a node or a list) behind the last node of list.
void AppendExprNode(ExprNode* list, ExprNode* addition);

// Releases every node from list to the end; list may be null.
void FreeExprList(ExprNode* list);
