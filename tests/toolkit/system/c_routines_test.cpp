// The program's own memory and text routines, which this test program links
// in place of the C library's (as update.exe does). Called through volatile
// pointers, so that the compiler cannot answer a call itself.
#include <string.h>
#include <windows.h>

#include <gtest/gtest.h>

static void* (*volatile Memcpy)(void*, const void*, size_t) = memcpy;
static void* (*volatile Memmove)(void*, const void*, size_t) = memmove;
static void* (*volatile Memset)(void*, int, size_t) = memset;
static void* (*volatile Memchr)(const void*, int, size_t) = memchr;
static size_t (*volatile Strlen)(const char*) = strlen;
static char* (*volatile Strchr)(const char*, int) = strchr;
static int (*volatile Strncmp)(const char*, const char*, size_t) = strncmp;
static char* (*volatile Strstr)(const char*, const char*) = strstr;

static bool InThisProgram(const volatile void* function)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        (LPCSTR)function, &module);
    return module == GetModuleHandleA(nullptr);
}

TEST(CRoutines, AreThisProgramsOwn)
{
    for (const volatile void* f : {(const volatile void*)Memcpy, (const volatile void*)Memmove,
                                   (const volatile void*)Memset, (const volatile void*)Memchr,
                                   (const volatile void*)Strlen, (const volatile void*)Strchr,
                                   (const volatile void*)Strncmp, (const volatile void*)Strstr})
        EXPECT_TRUE(InThisProgram(f));
}

// Every source and destination alignment within a word, every length up to
// a few words, blocks apart and overlapping by any distance either way: the
// bytes of a byte-by-byte copy, nothing written outside the destination.
TEST(CRoutines, CopiesMovesAndFillsAtEveryAlignment)
{
    unsigned char area[96], expected[96];
    for (int n = 0; n <= 40; n++) {
        for (int from = 0; from < 8; from++) {
            for (int to = 0; to < 48; to++) {
                for (int i = 0; i < 96; i++)
                    expected[i] = area[i] = (unsigned char)(i * 7 + 1);
                for (int i = 0; i < n; i++)
                    expected[8 + to + i] = area[8 + from + i];
                bool apart = to >= from + n || from >= to + n;
                if (apart)
                    Memcpy(area + 8 + to, area + 8 + from, (size_t)n);
                else
                    Memmove(area + 8 + to, area + 8 + from, (size_t)n);
                ASSERT_EQ(0, memcmp(expected, area, sizeof area))
                    << (apart ? "memcpy" : "memmove") << " of " << n << " from " << from
                    << " to " << to;
            }
        }
        for (int to = 0; to < 8; to++) {
            unsigned char row[64];
            for (int i = 0; i < 64; i++)
                row[i] = 0x11;
            Memset(row + 8 + to, 0x1A5, (size_t)n);  // the value's low byte alone
            for (int i = 0; i < 64; i++)
                ASSERT_EQ(i >= 8 + to && i < 8 + to + n ? 0xA5 : 0x11, row[i]) << n << " at " << to;
        }
    }
}

// Bytes compare and match as unsigned char: the lead bytes of code page 932
// (0x81 and up) after ASCII, a char argument of such a byte found.
TEST(CRoutines, TextRoutinesAtTheirEdges)
{
    const char text[] = "a\x81\x5c" "b\x95\\ab";  // 8 bytes and the terminator
    EXPECT_EQ(8u, Strlen(text));
    EXPECT_EQ(0u, Strlen(""));
    static const struct {
        int c;
        size_t n;
        int at;  // -1: not found
    } Finds[] = {
        {(char)0x81, 9, 1}, {0x81, 9, 1}, {0x5c, 9, 2}, {0, 9, 8}, {'b', 3, -1}, {'a', 0, -1},
        {0x161, 9, 0},  // the low byte alone
    };
    for (const auto& f : Finds) {
        const void* found = Memchr(text, f.c, f.n);
        EXPECT_EQ(f.at < 0 ? nullptr : text + f.at, found) << std::hex << f.c << " within " << f.n;
    }
    EXPECT_EQ(text + 1, Strchr(text, (char)0x81));
    EXPECT_EQ(text + 8, Strchr(text, 0));
    EXPECT_EQ(nullptr, Strchr(text, 'z'));

    static const struct {
        const char *a, *b;
        size_t n;
        int sign;
    } Compares[] = {
        {"\x81", "a", 1, 1}, {"a", "\x81", 1, -1}, {"ab", "ac", 1, 0}, {"ab", "ac", 2, -1},
        {"ab", "ab\x81", 5, -1}, {"x", "y", 0, 0}, {"same", "same", 100, 0},
    };
    for (const auto& c : Compares) {
        int r = Strncmp(c.a, c.b, c.n);
        EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << c.a << " " << c.b << " " << c.n;
    }

    static const struct {
        const char *text, *part;
        int at;
    } Parts[] = {
        {"aaab", "aab", 1}, {"abc", "", 0}, {"", "", 0}, {"", "a", -1}, {"ab", "abc", -1},
        {"abcabd", "abd", 3}, {"ab", "b", 1},
    };
    for (const auto& p : Parts)
        EXPECT_EQ(p.at < 0 ? nullptr : p.text + p.at, Strstr(p.text, p.part))
            << p.text << " / " << p.part;
}
