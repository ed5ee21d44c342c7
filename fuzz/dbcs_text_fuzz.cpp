// The shared lead-byte rule: character lengths, fitting cuts, cut copies and
// the last-character search, against the independent reading of fuzz_check.h.
#include "toolkit/data/dbcs_text.h"

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::string bytes = SplitInput(data, size, 1)[0];
    HeapText src(bytes);
    const char* text = src.text;
    size_t len = src.len;
    std::vector<bool> boundary = RefBoundaries(text, len);

    for (size_t i = 0; i <= len; i++) {
        if (!boundary[i])
            continue;
        int n = DbcsCharLength(text + i);
        size_t next = i + 1;
        while (next <= len && !boundary[next])
            next++;
        bool lone_lead = i + 1 == len && RefIsLead((unsigned char)text[i]);
        FUZZ_REQUIRE(n == (i == len || lone_lead ? 0 : (int)(next - i)));
    }

    // Every size from nothing to more than the text: the cut ends on a
    // boundary, fits, and leaves out no character that would have fitted.
    size_t whole = len > 0 && boundary[len - 1] && RefIsLead((unsigned char)text[len - 1]) ? len - 1 : len;
    // Beyond 128 bytes, the smallest and the largest sizes only.
    for (size_t dst_size = 1; dst_size <= len + 2; dst_size = dst_size == 128 && len > 256 ? len - 126 : dst_size + 1) {
        int fit = DbcsFitLength(text, (int)dst_size - 1);
        FUZZ_REQUIRE(fit >= 0 && (size_t)fit <= dst_size - 1 && (size_t)fit <= whole);
        char* dst = (char*)malloc(dst_size);
        int complete = DbcsCopyCut(dst, (int)dst_size, text);
        CheckCut(dst, dst_size, text, len, boundary);
        FUZZ_REQUIRE(strlen(dst) == (size_t)fit);
        FUZZ_REQUIRE(complete == ((size_t)fit == len));
        free(dst);
    }

    // The last one-byte character c, never a second byte.
    const char wanted[] = {'\\', '.', len ? text[0] : 'a', len ? text[len - 1] : 'b'};
    for (char c : wanted) {
        const char* ref = nullptr;
        for (size_t i = 0; i < len; i++)
            if (boundary[i] && boundary[i + 1] && text[i] == c && !(i + 1 == len && RefIsLead((unsigned char)c)))
                ref = text + i;
        FUZZ_REQUIRE(DbcsFindLastChar(text, c) == ref);
    }
    return 0;
}
