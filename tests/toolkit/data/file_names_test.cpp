#include "toolkit/data/file_names.h"

#include <string.h>

#include <string>

#include <gtest/gtest.h>

// 表, ソ and 能 end in 0x5C, the byte of "\".
// Columns: FindExtension, FindFileName, ReplaceExtension with new_ext and the
// text it leaves, CutFileName and the text it leaves.
TEST(FileNames, FindReplaceAndCut)
{
    auto shown = [](const char* found) { return std::string(found ? found : "null"); };
    struct { const char *path, *ext, *name, *new_ext, *replaced, *cut; } cases[] = {
        {"picture.bmp", "bmp", "null", "png", "picture.png", "picture.bmp"},
        {"archive.tar.gz", "gz", "null", "", "archive.tar.", "archive.tar.gz"},
        {".profile", "null", "null", "x", ".profile", ".profile"}, {"", "null", "null", "x", "", ""},
        {"a.b\\c", "null", "c", "x", "a.b\\c", "a.b"}, {"C:\\v1.2\\readme", "null", "readme", "x", "C:\\v1.2\\readme", "C:\\v1.2"},
        {"C:\\", "null", "", "x", "C:\\", "C:"}, {"C:\\表", "null", "表", "x", "C:\\表", "C:"},
        {"ソ.txt", "txt", "null", "能", "ソ.能", "ソ.txt"}, {"能\\x.ソ", "ソ", "x.ソ", nullptr, "能\\x.", "能"},
        {"C:\\データ\\表", "null", "表", "x", "C:\\データ\\表", "C:\\データ"},
        {"\\.profile", "profile", "null", "x", "\\.x", "\\.profile"}, {"\\\\srv", "null", "srv", "x", "\\\\srv", "\\"},
        {"C:\\x\\.cfg", "cfg", ".cfg", "bak", "C:\\x\\.bak", "C:\\x"}, {"a\\.b", "b", ".b", "x", "a\\.x", "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.ext, shown(FindExtension(c.path))) << c.path;
        EXPECT_EQ(c.name, shown(FindFileName(c.path))) << c.path;
        char buf[64];
        memset(buf, 'Z', sizeof buf);
        const char* result = ReplaceExtension(buf, c.path, c.new_ext);
        EXPECT_EQ(strcmp(c.ext, "null") ? c.replaced : "null", shown(result)) << c.path;
        EXPECT_STREQ(c.replaced, buf);
        EXPECT_EQ('Z', buf[strlen(c.path) + (c.new_ext ? strlen(c.new_ext) : 0) + 1]);
        EXPECT_EQ(result, ReplaceExtension(buf, buf, c.new_ext));  // in place
        EXPECT_EQ(result, ReplaceExtension(buf, nullptr, c.new_ext));  // the buffer's own text
        EXPECT_EQ(strcmp(c.name, "null") ? c.cut : "null", shown(CutFileName(buf, c.path))) << c.path;
        EXPECT_STREQ(c.cut, buf);
        strcpy(buf, c.path);
        EXPECT_EQ(strcmp(c.name, "null") ? c.cut : "null", shown(CutFileName(buf, nullptr))) << c.path;
        EXPECT_STREQ(c.cut, buf);
    }
    EXPECT_EQ(nullptr, CutFileName(nullptr, "C:\\x"));
}

// The last two rows fill dir and fname to their limits exactly, then put a
// character across the limits of dir (255) and of file_name (259).
TEST(FileNames, SplitFollowsCharactersAndLimits)
{
    std::string d253(253, 'd'), f255(255, 'f'), dir255 = "\\" + d253 + "\\";
    auto fields = [](const FileInfo& i) {
        return std::string(i.drive) + "|" + i.dir + "|" + i.fname + "|" + i.ext + "|" + i.folder + "|" + i.file_name;
    };
    struct { std::string path, fields; } cases[] = {
        {"C:/表/ソ.能", "C:|/表/|ソ|.能|C:/表/|ソ.能"}, {"表\\ソ", "|表\\|ソ||表\\|ソ"}, {"ソ.txt", "||ソ|.txt||ソ.txt"},
        {"C:\\v1.2\\readme", "C:|\\v1.2\\|readme||C:\\v1.2\\|readme"}, {"x:.profile", "x:|||.profile|x:|.profile"},
        {"C:" + dir255 + f255, "C:|" + dir255 + "|" + f255 + "||C:" + dir255 + "|" + f255},
        {"\\" + d253 + "表\\" + f255 + "f.表表", "|\\" + d253 + "|" + f255 + "|.表表|\\" + d253 + "|" + f255 + ".表"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.fields, fields(SplitFormattedPath(nullptr, "%s", c.path.c_str()))) << c.path;

    FileInfo info;
    memset(&info, 'Z', sizeof info);
    FileInfo copy = SplitFormattedPath(&info, "%s\\%s", "C:\\work", "save\\file1.dat");
    EXPECT_EQ("C:|\\work\\save\\|file1|.dat|C:\\work\\save\\|file1.dat", fields(info));
    EXPECT_EQ(0, memcmp(&copy, &info, sizeof info));
}
