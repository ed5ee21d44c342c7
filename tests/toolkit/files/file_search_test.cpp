#include "toolkit/files/file_search.h"

#include <string.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/box_watcher.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wine_host.h"
#include "toolkit/files/folder_tree.h"

// Matches grouped by found folder in the order the groups came; the order
// within one folder is the platform's, so each group is a set.
typedef std::vector<std::pair<std::string, std::set<std::string>>> Groups;

static Groups SearchAll(FileSearch* search, const std::string& path, int include_subfolders)
{
    Groups groups;
    memset(search, 0x5A, sizeof *search);
    EXPECT_EQ(1, FileSearchBegin(path.c_str(), include_subfolders, search));
    for (int i = 0; i < 100 && FileSearchNext(search); i++) {
        if (groups.empty() || groups.back().first != search->found_folder)
            groups.push_back({search->found_folder, {}});
        groups.back().second.insert(search->found_entry.cFileName);
    }
    EXPECT_EQ(nullptr, search->root_level);
    return groups;
}

TEST(Search, SubfoldersFirstAndDepthFirstThenAfresh)
{
    TempDir dir;
    std::string top = dir.path() + "\\";
    for (const char* rel : {"a.txt", "b.txt", "c.dat", "sub\\s.txt", "sub\\deep\\d.txt",
                            "sub\\deep\\x.txt\\in.txt"})
        WriteFileText(top + rel, "x");
    FileSearch search;
    EXPECT_EQ((Groups{{top, {"a.txt", "b.txt"}}}), SearchAll(&search, top + "*.txt", 0));
    EXPECT_EQ((Groups{{top + "sub\\deep\\x.txt\\", {"in.txt"}}, {top + "sub\\deep\\", {"d.txt"}},
                      {top + "sub\\", {"s.txt"}}, {top, {"a.txt", "b.txt"}}}),
              SearchAll(&search, top + "*.txt", 1));
    ASSERT_EQ(1, FileSearchNext(&search));
    EXPECT_EQ(top + "sub\\deep\\x.txt\\", search.found_folder);
    FileSearchEnd(&search);
}

TEST(Search, FoldersWithFurtherBitsAreEnteredLinksNeither)
{
    TempDir dir, outside;
    std::string top = dir.path() + "\\";
    WriteFileText(top + "a.txt", "a");
    WriteFileText(top + ".cfg.txt\\in.txt", "i");  // hidden, 0x12 under Wine
    WriteFileText(outside / "out.txt", "o");
    ASSERT_TRUE(MakeFolderLink(outside.path(), top + "lnk.txt")) << "cannot make a link here";
    FileSearch search;
    Groups with = SearchAll(&search, top + "*.txt", 1);
    Groups without = SearchAll(&search, top + "*.txt", 0);
    RemoveFolderLink(top + "lnk.txt");
    EXPECT_EQ((Groups{{top + ".cfg.txt\\", {"in.txt"}}, {top, {"a.txt"}}}), with);
    EXPECT_EQ((Groups{{top, {"a.txt"}}}), without);
}

TEST(Search, PathsSplitAtTheLastSeparatorAndOverlongPartsAreRefused)
{
    TempDir dir;
    std::string top = dir.path() + "\\";
    WriteFileText(top + "ソフト\\表1.txt", "1");  // ソ and 表 end in the byte of "\"
    WriteFileText(top + "ソフト\\他.txt", "2");
    FileSearch search;
    EXPECT_EQ((Groups{{top + "ソフト\\", {"表1.txt"}}}), SearchAll(&search, top + "ソフト\\表*.txt", 0));
    EXPECT_TRUE(SearchAll(&search, top, 1).empty());
    EXPECT_EQ(1, FileSearchBegin((top + std::string(255, 'n')).c_str(), 0, &search));
    EXPECT_EQ(0, FileSearchBegin((top + std::string(256, 'n')).c_str(), 0, &search));
    EXPECT_EQ(0, FileSearchNext(&search));
    // The folder part, "\" included, holds at most 1,023 bytes.
    EXPECT_EQ(1, FileSearchBegin((std::string(1022, 'f') + "\\*").c_str(), 0, &search));
    EXPECT_EQ(0, FileSearchBegin((std::string(1023, 'f') + "\\*").c_str(), 0, &search));
}

TEST(Search, DriveRootLosesNoSubfolder)
{
    TempDir dir;
    WriteFileText(dir / "sub\\a.txt", "a");  // the root's only, so first, entry
    ASSERT_TRUE(MapDrive('M', dir.path())) << "cannot map a drive letter under this Wine";
    FileSearch search;
    Groups groups = SearchAll(&search, "M:\\*.txt", 1);
    UnmapDrive('M');
    EXPECT_EQ((Groups{{"M:\\sub\\", {"a.txt"}}}), groups);
}

TEST(Search, EndReleasesAHalfDoneSearch)
{
    TempDir dir;
    WriteFileText(dir / "t\\sub\\a.txt", "a");
    FileSearch search;
    ASSERT_EQ(1, FileSearchBegin((dir / "t\\*.txt").c_str(), 1, &search));
    ASSERT_EQ(1, FileSearchNext(&search));
    ASSERT_NE(nullptr, search.root_level);
    FileSearchEnd(&search);
    EXPECT_EQ(nullptr, search.root_level);
    // Open listings would keep the folders from going.
    BoxWatcher watcher(IDOK);
    EXPECT_NE(0, FolderRemoveTree((dir / "t").c_str()));
    EXPECT_TRUE(watcher.boxes.empty());
}
