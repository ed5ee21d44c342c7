#include "toolkit/files/folder_tree.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/box_watcher.h"
#include "tests/support/listing_hook.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_listener.h"
#include "tests/support/wine_host.h"

static std::vector<std::string> Texts(const BoxWatcher& watcher)
{
    std::vector<std::string> texts;
    for (const SeenBox& box : watcher.boxes)
        texts.push_back(box.caption + ":" + box.text);
    return texts;
}

TEST(FolderRemoveTree, ReadOnlyFileDeepInsideCostsABoxPerLevel)
{
    TempDir dir;
    std::string t = dir / "T";
    for (const char* rel : {"t.dat", ".hidden\\h.dat", "a\\a.dat", "a\\b\\c\\c.dat", "a\\b\\c\\ro.dat"})
        WriteFileText(t + "\\" + rel, "x");
    ASSERT_TRUE(SetFileAttributesA((t + "\\a\\b\\c\\ro.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    BoxWatcher watcher(IDOK);
    EXPECT_EQ(0, FolderRemoveTree(t.c_str()));
    EXPECT_EQ((std::vector<std::string>{"警告:ファイル[" + t + "\\a\\b\\c\\ro.dat]が削除できません。",
                                        "警告:フォルダ[" + t + "\\a\\b\\c]が削除できません。",
                                        "警告:フォルダ[" + t + "\\a\\b]が削除できません。",
                                        "警告:フォルダ[" + t + "\\a]が削除できません。"}),
              Texts(watcher));
    EXPECT_EQ(std::vector<std::string>{"a\\b\\c\\ro.dat"}, FilesInWalkOrder(t));
}

TEST(FolderRemoveTree, LinksAreRemovedAsLinksAndNeverFollowed)
{
    TempDir dir, outside;
    std::string t = dir / "T", link = t + "\\link";
    WriteFileText(outside / "sub\\keep.dat", "k");
    WriteFileText(t + "\\a.dat", "a");
    ASSERT_TRUE(MakeFolderLink(outside.path(), link) && MakeFolderLink(outside.path(), dir / "top"));
    // Windows removes a junction with RemoveDirectoryA; Wine cannot remove a
    // Unix link so. Which holds here is found beforehand, on a link of its own.
    ASSERT_TRUE(MakeFolderLink(outside.path(), dir / "probe"));
    bool removable = RemoveDirectoryA((dir / "probe").c_str());
    RemoveFolderLink(dir / "probe");
    std::vector<std::string> expected;
    if (!removable)
        expected.push_back("警告:フォルダ[" + link + "]が削除できません。");
    BoxWatcher watcher(IDOK);
    int rc = FolderRemoveTree(t.c_str());
    int top_rc = FolderRemoveTree((dir / "top").c_str());  // the link itself named
    RemoveFolderLink(link);
    RemoveFolderLink(dir / "top");
    EXPECT_TRUE(FileIsThere(outside / "sub\\keep.dat"));
    EXPECT_FALSE(FileIsThere(t + "\\a.dat"));
    EXPECT_EQ(expected, Texts(watcher));
    EXPECT_EQ(removable, rc != 0);
    EXPECT_EQ(removable, top_rc != 0);
}

TEST(FolderTree, EmptyPathsAreRefusedNotTakenForTheDriveRoot)
{
    TempDir dir;
    WriteFileText(dir / "keep.dat", "k");
    ASSERT_TRUE(MapDrive('M', dir.path())) << "cannot map a drive letter under this Wine";
    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof old, old);
    SetCurrentDirectoryA("M:\\");
    int rc = FolderRemoveTree("") + FolderCopyTree("", (dir / "copy").c_str(), 0);
    SetCurrentDirectoryA(old);
    UnmapDrive('M');
    EXPECT_EQ(0, rc);
    EXPECT_TRUE(FileIsThere(dir / "keep.dat"));
}

static std::vector<std::string> CopyTraced(const std::string& src, const std::string& dst,
                                           int fail_if_exists, int expected_rc = 1)
{
    TraceListener listener;
    EXPECT_EQ(expected_rc, FolderCopyTree(src.c_str(), dst.c_str(), fail_if_exists));
    std::vector<std::string> lines = listener.Stop();
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(FolderCopyTree, CopiesFilesAndFoldersTracesEachEntryNeverFollowsLinks)
{
    TempDir dir, outside;
    std::string src = dir / "S", dst = dir / "D";
    WriteFileText(src + "\\a.dat", "new");
    WriteFileText(src + "\\.hidden\\h.dat", "h");
    MakeFolders(src + "\\empty\\inner");
    WriteFileText(dst + "\\a.dat", "old");
    WriteFileText(outside / "secret.dat", "s");
    ASSERT_TRUE(MakeFolderLink(outside.path(), src + "\\lnk"));
    std::vector<std::string> expected = {dst + "\\.hidden\\h.dat\n", dst + "\\a.dat\n", dst + "\\lnk\n"};
    EXPECT_EQ(expected, CopyTraced(src, dst, 1));  // kept, but traced
    EXPECT_EQ("old", ReadFileText(dst + "\\a.dat"));
    EXPECT_EQ(expected, CopyTraced(src, dst, 0));
    EXPECT_EQ("new", ReadFileText(dst + "\\a.dat"));
    EXPECT_EQ("h", ReadFileText(dst + "\\.hidden\\h.dat"));
    EXPECT_TRUE(FolderExists(dst + "\\empty\\inner"));
    EXPECT_FALSE(FolderExists(dst + "\\lnk"));
    // Under a target root of 1,020 bytes no entry fits: each is traced, cut,
    // and no folder is entered with a cut path.
    std::vector<std::string> cut = CopyTraced(src, "C:\\" + std::string(1017, 'd'), 0);
    EXPECT_EQ(4u, cut.size());
    for (const std::string& line : cut)
        EXPECT_EQ(1023u, line.size());
    CopyTraced(dir / "missing", dst, 0, 0);
    RemoveFolderLink(src + "\\lnk");
}

TEST(FolderTree, EmptyFoldersWithoutDotEntriesAreNoFailure)
{
    TempDir dir;
    std::string t = dir / "T", d = dir / "D";
    WriteFileText(t + "\\a\\f.dat", "f");
    MakeFolders(t + "\\a\\empty");
    MakeFolders(t + "\\b");
    MakeFolders(d);
    ListingHook dotless(ListingHook::NoDotEntries);
    ASSERT_TRUE(dotless.ok());
    EXPECT_EQ(std::vector<std::string>{d + "\\a\\f.dat\n"}, CopyTraced(t, d, 0));
    EXPECT_TRUE(FolderExists(d + "\\a\\empty"));
    EXPECT_TRUE(CopyTraced(t + "\\b", d, 0).empty());  // an empty top folder is listed too
    BoxWatcher watcher(IDOK);
    EXPECT_NE(0, FolderRemoveTree(t.c_str()));
    EXPECT_EQ(std::vector<std::string>{}, Texts(watcher));
    EXPECT_FALSE(FolderExists(t));
}

TEST(FolderCopyTree, SubfolderWhoseListingDoesNotFitIsTraced)
{
    // A source root of about 1,000 bytes that reaches a short folder through
    // "\." steps, listed without the platform's 260-character limit.
    TempDir dir;
    std::string root = dir / "S", d = dir / "D";
    while (root.size() < 999)
        root += "\\.";
    // Subfolders of 1,019 and 1,020 bytes: the listing pattern "%s\*.*" of
    // the first takes 1,023 bytes and fits, that of the second does not.
    std::string fits(1018 - root.size(), 'f'), too_long(1019 - root.size(), 't');
    WriteFileText(dir / "S\\" + fits + "\\x", "x");
    WriteFileText(dir / "S\\" + too_long + "\\x", "x");
    MakeFolders(d);
    ListingHook long_paths(ListingHook::NoPathLimit);
    ASSERT_TRUE(long_paths.ok());
    EXPECT_EQ((std::vector<std::string>{d + "\\" + fits + "\\x\n", d + "\\" + too_long + "\n"}),
              CopyTraced(root, d, 0));
}
