#pragma once
// What every fuzz target shares: a property check that ends the run, texts
// held in blocks of their exact size (so that the address sanitizer reports
// a read past the terminator), and an independent reading of code page 932
// against which the toolkit's cuts are checked.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

// A failed property is a finding: the fuzzer keeps the input.
#define FUZZ_REQUIRE(cond)                                                         \
    do {                                                                           \
        if (!(cond)) {                                                             \
            fprintf(stderr, "property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            abort();                                                               \
        }                                                                          \
    } while (0)

// A zero-terminated copy of bytes in a heap block of exactly its length plus
// the terminator.
struct HeapText {
    char* text;
    size_t len;
    HeapText(const char* bytes, size_t n) : text((char*)malloc(n + 1)), len(n)
    {
        memcpy(text, bytes, n);
        text[n] = 0;
    }
    explicit HeapText(const std::string& s) : HeapText(s.data(), s.size()) {}
    ~HeapText() { free(text); }
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;
};

// Splits the fuzzer's bytes at zero bytes into up to count texts (the last
// ones empty when there are fewer zeros).
inline std::vector<std::string> SplitInput(const unsigned char* data, size_t size, int count)
{
    std::vector<std::string> parts;
    const char* p = (const char*)data;
    const char* end = p + size;
    for (int i = 0; i < count; i++) {
        const char* zero = (const char*)memchr(p, 0, end - p);
        parts.emplace_back(p, (zero ? zero : end) - p);
        p = zero ? zero + 1 : end;
    }
    return parts;
}

// Code page 932 as written here, apart from the toolkit: a lead byte opens a
// two-byte character unless the text ends behind it.
inline bool RefIsLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// boundary[i] tells whether a character starts (or the text ends) at byte i
// of text[0..len). A lead byte at the very end is a character of its own.
inline std::vector<bool> RefBoundaries(const char* text, size_t len)
{
    std::vector<bool> boundary(len + 1, false);
    size_t i = 0;
    while (i < len) {
        boundary[i] = true;
        i += RefIsLead((unsigned char)text[i]) && i + 1 < len ? 2 : 1;
    }
    boundary[len] = true;
    return boundary;
}

// Checks a cut copy: dst (of dst_size bytes) is terminated within its size,
// holds a start of src[0..src_len) that ends where a character of src ends,
// and is the longest such start that fits, a lone lead byte at the end of src
// excepted (it may be left out). boundary is RefBoundaries of src.
inline void CheckCut(const char* dst, size_t dst_size, const char* src, size_t src_len,
                     const std::vector<bool>& boundary)
{
    size_t len = strnlen(dst, dst_size);
    FUZZ_REQUIRE(len < dst_size);
    FUZZ_REQUIRE(len <= src_len && memcmp(dst, src, len) == 0);
    FUZZ_REQUIRE(boundary[len]);
    size_t next = len + 1;
    while (next <= src_len && !boundary[next])
        next++;
    bool lone_lead_left = next == src_len && len + 1 == src_len && RefIsLead((unsigned char)src[len]);
    FUZZ_REQUIRE(len == src_len || next > dst_size - 1 || lone_lead_left);
}

inline void CheckCut(const char* dst, size_t dst_size, const char* src, size_t src_len)
{
    CheckCut(dst, dst_size, src, src_len, RefBoundaries(src, src_len));
}
