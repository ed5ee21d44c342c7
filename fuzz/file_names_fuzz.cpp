// File names on a path and a second text (the input split at its first zero
// byte): the searches find only whole one-byte characters, a new extension
// is found again where it was written, a cut ends at the separator, and the
// split of a formatted path fills every field within its size, cut only
// between characters.
#include "toolkit/data/file_names.h"

#include "fuzz/fuzz_check.h"

// Index of the last whole one-byte character c of text[from..len), or -1.
static long LastChar(const char* text, size_t len, size_t from, const char* chars)
{
    std::vector<bool> boundary = RefBoundaries(text, len);
    long last = -1;
    for (size_t i = from; i < len; i++)
        if (boundary[i] && boundary[i + 1] && strchr(chars, text[i]) && !(i + 1 == len && RefIsLead((unsigned char)text[i])))
            last = (long)i;
    return last;
}

// A formatted path as the split sees it: at most 1,023 bytes, and never
// half of a character at the end.
static std::string Formatted(std::string path)
{
    if (path.size() > 1023)
        path.resize(1023);
    std::vector<bool> boundary = RefBoundaries(path.data(), path.size());
    if (!path.empty() && boundary[path.size() - 1] && RefIsLead((unsigned char)path.back()))
        path.pop_back();
    return path;
}

// The split of path: its fields as spans of the path, each one checked as a
// cut copy of its span.
static void CheckSplit(const FileInfo& info, const char* path, size_t len)
{
    size_t drive = len >= 2 && path[1] == ':' && !RefIsLead((unsigned char)path[0]) ? 2 : 0;
    long sep = LastChar(path, len, drive, "\\/");
    size_t name = sep < 0 ? drive : (size_t)sep + 1;
    long dot = LastChar(path, len, name, ".");
    size_t ext = dot < 0 ? len : (size_t)dot;
    CheckCut(info.drive, sizeof info.drive, path, drive);
    CheckCut(info.dir, sizeof info.dir, path + drive, name - drive);
    CheckCut(info.fname, sizeof info.fname, path + name, ext - name);
    CheckCut(info.ext, sizeof info.ext, path + ext, len - ext);
    std::string folder = std::string(info.drive) + info.dir, file_name = std::string(info.fname) + info.ext;
    CheckCut(info.folder, sizeof info.folder, folder.c_str(), folder.size());
    CheckCut(info.file_name, sizeof info.file_name, file_name.c_str(), file_name.size());
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    std::vector<std::string> parts = SplitInput(data, size, 2);
    HeapText path(parts[0]), other(parts[1]);
    const char* text = path.text;
    size_t len = path.len;

    long sep = LastChar(text, len, 1, "\\");
    const char* name = FindFileName(text);
    FUZZ_REQUIRE(name == (sep < 0 ? nullptr : text + sep + 1));
    size_t name_at = sep < 0 ? 0 : (size_t)sep + 1;
    long dot = LastChar(text, len, name_at ? name_at : 1, ".");
    const char* ext = FindExtension(text);
    FUZZ_REQUIRE(ext == (dot < 0 ? nullptr : text + dot + 1));

    // The new extension lands behind the dot and is found there again, when
    // it holds no dot or separator of its own.
    char* dst = (char*)malloc(len + other.len + 1);
    char* replaced = ReplaceExtension(dst, text, other.text);
    FUZZ_REQUIRE(replaced == (ext ? dst : nullptr));
    if (!ext) {
        FUZZ_REQUIRE(strcmp(dst, text) == 0);
    } else {
        FUZZ_REQUIRE(memcmp(dst, text, dot + 1) == 0 && strcmp(dst + dot + 1, other.text) == 0);
        if (LastChar(other.text, other.len, 0, ".\\") < 0)
            FUZZ_REQUIRE(FindExtension(dst) == dst + dot + 1);
    }
    free(dst);

    HeapText buf(parts[0]);
    char* cut = CutFileName(buf.text, nullptr);
    FUZZ_REQUIRE(cut == (name ? buf.text : nullptr));
    FUZZ_REQUIRE(strlen(buf.text) == (name ? (size_t)sep : len) && memcmp(buf.text, text, strlen(buf.text)) == 0);

    FileInfo info;
    memset(&info, 0xA5, sizeof info);
    FileInfo copy = SplitFormattedPath(&info, "%s\\%s", text, other.text);
    FUZZ_REQUIRE(memcmp(&copy, &info, sizeof info) == 0);
    std::string joined = Formatted(parts[0] + "\\" + parts[1]), alone = Formatted(parts[0]);
    CheckSplit(info, joined.c_str(), joined.size());
    CheckSplit(SplitFormattedPath(nullptr, "%s", text), alone.c_str(), alone.size());

    // The same path pushed right until its first two-byte character meets
    // the formatter's limit.
    std::vector<bool> boundary = RefBoundaries(text, len);
    size_t lead = 0;
    while (lead < len && !(boundary[lead] && RefIsLead((unsigned char)text[lead])))
        lead++;
    if (lead < len && lead < 1022) {
        std::string pad(1022 - lead, 'x');
        std::string pushed = Formatted(pad + parts[0]);
        CheckSplit(SplitFormattedPath(nullptr, "%s%s", pad.c_str(), text), pushed.c_str(), pushed.size());
    }
    return 0;
}
