// The memory and text routines of the C library that the program's code and
// the compiler's own calls (structure copies and clears, the checked copies
// of _FORTIFY_SOURCE) need, kept by the program itself so that update.exe
// imports nothing from msvcrt.dll, which a Windows 95 as it shipped does not
// have: its loader would refuse the program before its first instruction.
// Each routine keeps the C library's contract; the bytes are compared as
// unsigned char, as the C library compares them, so that the lead and second
// bytes of code page 932 (0x81 and up) order after ASCII.
//
// Built without the compiler's knowledge of these functions
// (-ffreestanding, no loop-to-call rewriting: see toolkit/CMakeLists.txt), so
// that no loop here becomes a call of the routine it is written in, and
// without <string.h>, whose checked inline forms would stand in the way of
// these definitions.
#include <stddef.h>
#include <stdint.h>

// One machine word, which may alias any other type.
typedef uintptr_t __attribute__((may_alias)) Word;

static int Aligned(const void* p)
{
    return ((uintptr_t)p & (sizeof(Word) - 1)) == 0;
}

// Copies n bytes from the lowest address up, a word at a time where both
// blocks allow it; safe for overlapping blocks when dst lies below src (each
// word is read before any store reaches it).
static void CopyForward(unsigned char* d, const unsigned char* s, size_t n)
{
    if (Aligned(d) && Aligned(s)) {
        for (; n >= sizeof(Word); n -= sizeof(Word), d += sizeof(Word), s += sizeof(Word))
            *(Word*)d = *(const Word*)s;
    }
    for (; n; n--)
        *d++ = *s++;
}

extern "C" {

void* memcpy(void* dst, const void* src, size_t n)
{
    CopyForward((unsigned char*)dst, (const unsigned char*)src, n);
    return dst;
}

// Blocks may overlap: a copy towards lower addresses goes forwards, one
// towards higher addresses backwards, so that no byte is overwritten before
// it has been read.
void* memmove(void* dst, const void* src, size_t n)
{
    unsigned char* d = (unsigned char*)dst;
    const unsigned char* s = (const unsigned char*)src;
    if ((uintptr_t)d - (uintptr_t)s >= n) {  // no overlap, or dst below src
        CopyForward(d, s, n);
        return dst;
    }
    while (n--)
        d[n] = s[n];
    return dst;
}

void* memset(void* dst, int c, size_t n)
{
    unsigned char* d = (unsigned char*)dst;
    unsigned char byte = (unsigned char)c;
    for (; n && !Aligned(d); n--)
        *d++ = byte;
    Word word = (Word)-1 / 0xFF * byte;  // the byte in every byte of a word
    for (; n >= sizeof(Word); n -= sizeof(Word), d += sizeof(Word))
        *(Word*)d = word;
    for (; n; n--)
        *d++ = byte;
    return dst;
}

void* memchr(const void* block, int c, size_t n)
{
    const unsigned char* p = (const unsigned char*)block;
    for (; n; n--, p++)
        if (*p == (unsigned char)c)
            return (void*)p;
    return nullptr;
}

size_t strlen(const char* text)
{
    const char* p = text;
    while (*p)
        p++;
    return (size_t)(p - text);
}

// The terminator is part of the text: strchr(text, 0) finds it.
char* strchr(const char* text, int c)
{
    for (;; text++) {
        if (*text == (char)c)
            return (char*)text;
        if (!*text)
            return nullptr;
    }
}

int strncmp(const char* a, const char* b, size_t n)
{
    for (; n; n--, a++, b++) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (x != y)
            return x < y ? -1 : 1;
        if (!x)
            break;
    }
    return 0;
}

// An empty part is found at the start of text.
char* strstr(const char* text, const char* part)
{
    size_t len = strlen(part);
    if (!len)
        return (char*)text;
    for (; *text; text++)
        if (*text == *part && strncmp(text, part, len) == 0)
            return (char*)text;
    return nullptr;
}
}
