// Case copies, comparisons and tokens on two texts (the input split at its
// first zero byte): copies keep every two-byte character whole and end in
// their buffers, searches match only at character starts, and the tokens of
// a text joined by their delimiters give the text back.
#include "toolkit/data/text_compare.h"

#include "fuzz/fuzz_check.h"

static int Sign(int v)
{
    return (v > 0) - (v < 0);
}

// Checks a case copy of text: the same length, single-byte letters mapped
// from one range to the other, every other byte and both bytes of every
// two-byte character as they were.
static void CheckCaseCopy(const char* copy, const char* text, size_t len, char from, char to)
{
    FUZZ_REQUIRE(strlen(copy) == len);
    std::vector<bool> boundary = RefBoundaries(text, len);
    for (size_t i = 0; i < len; i++) {
        bool single = boundary[i] && boundary[i + 1];
        bool letter = single && text[i] >= from && text[i] <= from + 25;
        FUZZ_REQUIRE(copy[i] == (letter ? text[i] - from + to : text[i]));
    }
}

static void CheckTokens(const char* text, size_t len, unsigned int delimiter)
{
    size_t step = delimiter > 0xFF ? 2 : 1;
    char delim[2] = {(char)(delimiter > 0xFF ? delimiter >> 8 : delimiter), (char)delimiter};
    std::vector<bool> boundary = RefBoundaries(text, len);
    // Whether the delimiter stands at i as a whole character of the text.
    auto delimiter_at = [&](size_t i) {
        bool whole = step == 2 || (boundary[i + 1] && !(i + 1 == len && RefIsLead((unsigned char)text[i])));
        return boundary[i] && i + step <= len && whole && memcmp(text + i, delim, step) == 0;
    };
    char* out = (char*)malloc(len + 1);
    std::string joined;
    size_t at = 0;
    for (int call = 0;; call++) {
        FUZZ_REQUIRE((size_t)call <= len);  // each call but the last passes a delimiter
        int count = ScanToken(out, call ? nullptr : text, delimiter);
        FUZZ_REQUIRE(count >= 0 && at + count <= len && strlen(out) == (size_t)count);
        FUZZ_REQUIRE(memcmp(out, text + at, count) == 0 && TokenCursor == text + at + count);
        for (int i = 0; i < count; i++)
            FUZZ_REQUIRE(!delimiter_at(at + i));
        joined.append(out, count);
        at += count;
        if (at == len)
            break;
        FUZZ_REQUIRE(delimiter_at(at));
        joined.append(delim, step);
        at += step;
    }
    FUZZ_REQUIRE(joined == std::string(text, len));
    // At the end every further call gives an empty token and stays.
    FUZZ_REQUIRE(ScanToken(out, nullptr, delimiter) == 0 && out[0] == 0 && TokenCursor == text + len);
    free(out);
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::vector<std::string> parts = SplitInput(data, size, 2);
    HeapText a(parts[0]), b(parts[1]);

    char* lower = (char*)malloc(a.len + 1);
    char* upper = (char*)malloc(a.len + 1);
    LowerCopy(lower, a.text);
    CheckCaseCopy(lower, a.text, a.len, 'A', 'a');
    UpperCopy(upper, a.text);
    CheckCaseCopy(upper, a.text, a.len, 'a', 'A');
    HeapText in_place(parts[0]);
    LowerCopy(in_place.text, in_place.text);
    FUZZ_REQUIRE(strcmp(in_place.text, lower) == 0);

    // CompareNoCase is strcmp of the lower-case copies, without copying.
    char* lower_b = (char*)malloc(b.len + 1);
    LowerCopy(lower_b, b.text);
    int no_case = Sign(CompareNoCase(a.text, b.text));
    FUZZ_REQUIRE(no_case == Sign(strcmp(lower, lower_b)));
    FUZZ_REQUIRE(-no_case == Sign(CompareNoCase(b.text, a.text)));
    FUZZ_REQUIRE(CompareNoCase(a.text, upper) == 0);

    FUZZ_REQUIRE((ComparePrefix(a.text, b.text) == 0) == (a.len >= b.len && memcmp(a.text, b.text, b.len) == 0));

    std::vector<bool> boundary = RefBoundaries(a.text, a.len);
    int found = 0;
    for (size_t i = 0; i + b.len <= a.len && !found; i++)
        found = boundary[i] && memcmp(a.text + i, b.text, b.len) == 0;
    FUZZ_REQUIRE(ContainsText(a.text, b.text) == found);

    // Tokens of a at the first character of b (a two-byte one when whole).
    unsigned int delimiter = (unsigned char)b.text[0];
    if (b.len >= 2 && RefIsLead((unsigned char)b.text[0]))
        delimiter = delimiter << 8 | (unsigned char)b.text[1];
    if (delimiter != 0)
        CheckTokens(a.text, a.len, delimiter);
    free(lower);
    free(upper);
    free(lower_b);
    return 0;
}
