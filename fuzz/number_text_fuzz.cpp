// Number texts: every formatted number reads back as itself, results fit and
// end within their buffers, the decimal reader takes exactly an optional "-"
// and digits, and the full-width conversions give whole characters and undo
// each other.
#include "toolkit/data/number_text.h"

#include <ctype.h>

#include "fuzz/fuzz_check.h"

// The value of text when it is an optional "-" and at least one digit, in 32
// bits; *valid tells whether it is.
static int RefDecimal(const char* text, bool* valid)
{
    const char* p = text + (text[0] == '-');
    unsigned int value = 0;
    *valid = *p != 0;
    for (; *p; p++) {
        if (*p < '0' || *p > '9')
            *valid = false;
        value = value * 10u + (unsigned int)(*p - '0');
    }
    return *valid ? (int)(text[0] == '-' ? 0u - value : value) : 0;
}

// Whole full-width digits, letters or nothing: every pair opens with 0x82.
static void CheckWide(const char* wide, size_t max_chars)
{
    size_t len = strlen(wide);
    FUZZ_REQUIRE(len % 2 == 0 && len <= 2 * max_chars);
    for (size_t i = 0; i < len; i += 2)
        FUZZ_REQUIRE((unsigned char)wide[i] == 0x82);
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    HeapText src(SplitInput(data, size, 1)[0]);
    bool valid;
    int ref = RefDecimal(src.text, &valid);
    FUZZ_REQUIRE(DecToInt(src.text) == ref);

    // The value to format: the text's own when it is a number, else its first
    // four bytes.
    unsigned int raw = 0;
    memcpy(&raw, data, size < sizeof raw ? size : sizeof raw);
    int value = valid ? ref : (int)raw;
    for (int flags = 0; flags < 4; flags++) {
        int zero_fill = flags & 1, fixed_width = flags & 2;
        std::string wide = FormatNumber16(value, zero_fill, fixed_width);
        std::string narrow = FormatNumber2(value, zero_fill, fixed_width);
        FUZZ_REQUIRE(wide.size() <= 16 && narrow.size() <= 11);
        FUZZ_REQUIRE(!fixed_width || (wide.size() == 16 && narrow.size() >= 2));
        // Space padding is for columns; the rest reads back as the value.
        wide.erase(0, wide.find_first_not_of(' '));
        narrow.erase(0, narrow.find_first_not_of(' '));
        FUZZ_REQUIRE(DecToInt(wide.c_str()) == value && DecToInt(narrow.c_str()) == value);
    }
    for (int length : {value, (int)raw, (int)size}) {
        const char* spaces = SpaceText(length);
        size_t want = length < 0 ? 0 : length > 15 ? 15 : length;
        FUZZ_REQUIRE(strlen(spaces) == want && strspn(spaces, " ") == want);
    }

    // Single-byte digits to full width and back: the leading digits, at most 10.
    size_t digits = strspn(src.text, "0123456789");
    const char* wide = AsciiDigitsToWide(src.text);
    CheckWide(wide, 10);
    FUZZ_REQUIRE(strlen(wide) == 2 * (digits < 10 ? digits : 10));
    std::string back = WideDigitsToAscii(wide);
    FUZZ_REQUIRE(back == std::string(src.text, digits < 10 ? digits : 10));

    // Full width to single bytes: each result character stands for a whole
    // character of the text, and digits go back to the same bytes.
    std::string ascii = WideDigitsToAscii(src.text);
    FUZZ_REQUIRE(ascii.size() <= 10 && 2 * ascii.size() <= src.len);
    for (size_t i = 0; i < ascii.size(); i++) {
        FUZZ_REQUIRE((unsigned char)src.text[2 * i] == 0x82 && isalnum((unsigned char)ascii[i]));
        if (isdigit((unsigned char)ascii[i]))
            FUZZ_REQUIRE(memcmp(AsciiDigitsToWide(ascii.c_str() + i), src.text + 2 * i, 2) == 0);
    }
    return 0;
}
