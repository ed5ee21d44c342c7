#include "toolkit/files/folder_walk.h"

#include <string.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/listing_hook.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine_host.h"

static WIN32_FIND_DATAA Entry(const char* name, DWORD attributes)
{
    WIN32_FIND_DATAA entry = {};
    entry.dwFileAttributes = attributes;
    strcpy(entry.cFileName, name);
    return entry;
}

TEST(FolderWalk, EntryKinds)
{
    struct Case {
        const char* name;
        DWORD attributes;
        int kind;
    } cases[] = {
        {".", 0x10, WalkSkip},
        {"..", 0x10, WalkSkip},
        {"...", 0x20, WalkFile},                // only the two exact names are passed over
        {".hidden", 0x12, WalkFolder},          // folder bit with hidden
        {"ro", 0x10 | 0x01 | 0x04 | 0x20, WalkFolder},  // read-only, system, archive
        {"junction", 0x410, WalkLink},
        {"file", 0x20, WalkFile},
        {"plain", 0x80, WalkFile},
    };
    for (const Case& c : cases) {
        WIN32_FIND_DATAA entry = Entry(c.name, c.attributes);
        EXPECT_EQ(c.kind, WalkEntryKindOf(&entry)) << c.name;
    }
}

TEST(FolderWalk, JoinRefusesWhatDoesNotFit)
{
    char path[WalkPathSize + 8];
    std::string folder(1000, 'f');
    std::string name(22, 'n');  // 1000 + 1 + 22 = 1023: fits exactly
    memset(path, 'Z', sizeof path);
    EXPECT_EQ(1, JoinPath(path, WalkPathSize, folder.c_str(), name.c_str()));
    EXPECT_EQ(1023u, strlen(path));
    EXPECT_EQ('\\', path[1000]);

    memset(path, 'Z', sizeof path);
    name.pop_back();
    name += "表";  // 1,024 bytes: one too many, and 表 must not be split
    EXPECT_EQ(0, JoinPath(path, WalkPathSize, folder.c_str(), name.c_str()));
    EXPECT_EQ(1022u, strlen(path));
    EXPECT_EQ('Z', path[WalkPathSize]);

    std::string huge(1500, 'h');
    memset(path, 'Z', sizeof path);
    EXPECT_EQ(0, JoinPath(path, WalkPathSize, huge.c_str(), "x"));
    EXPECT_EQ(1023u, strlen(path));
    EXPECT_EQ('Z', path[WalkPathSize]);
}

static std::set<std::string> ListNames(const std::string& folder, DWORD* first_error = nullptr,
                                       int expected = WalkOpened)
{
    std::set<std::string> names;
    WIN32_FIND_DATAA FindFileData;
    HANDLE find;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(expected, WalkOpen(folder.c_str(), &FindFileData, &find)) << folder.substr(0, 60);
    if (first_error)
        *first_error = GetLastError();
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (WalkEntryKindOf(&FindFileData) != WalkSkip)
            names.insert(FindFileData.cFileName);
    } while (FindNextFileA(find, &FindFileData));
    FindClose(find);
    return names;
}

TEST(FolderWalk, DriveRootKeepsItsFirstEntries)
{
    TempDir dir;
    ASSERT_TRUE(WriteFileText(dir / "a.dat", "a"));
    ASSERT_TRUE(WriteFileText(dir / "b.dat", "b"));
    ASSERT_TRUE(MapDrive('M', dir.path())) << "cannot map a drive letter under this Wine";
    std::set<std::string> names = ListNames("M:");
    UnmapDrive('M');
    EXPECT_EQ((std::set<std::string>{"a.dat", "b.dat"}), names);
}

TEST(FolderWalk, OpenFailsOnMissingAndOverlongFolders)
{
    TempDir dir;
    DWORD error = 0;
    EXPECT_TRUE(ListNames(dir / "missing", &error, WalkUnlisted).empty());
    EXPECT_NE(0xdeadbeefu, error);
    std::string overlong = dir.path() + "\\" + std::string(1100, 'x');
    EXPECT_TRUE(ListNames(overlong, nullptr, WalkUnlisted).empty());
    // Where listings hold no "." and "..", an empty folder has no entry at
    // all; a file or a missing folder is still no folder.
    MakeFolders(dir / "empty");
    WriteFileText(dir / "file", "f");
    ListingHook dotless(ListingHook::NoDotEntries);
    ASSERT_TRUE(dotless.ok());
    EXPECT_TRUE(ListNames(dir / "empty", nullptr, WalkEmpty).empty());
    EXPECT_TRUE(ListNames(dir / "file", nullptr, WalkUnlisted).empty());
    EXPECT_TRUE(ListNames(dir / "missing", nullptr, WalkUnlisted).empty());
}
