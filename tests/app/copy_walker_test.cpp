#include "app/copy_walker.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/listing_hook.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_listener.h"
#include "tests/support/wine_host.h"

class CopyWalkerTest : public testing::Test {
protected:
    void SetUp() override
    {
        src = dir / "patch";
        dst = dir / "insta";  // as long as src, so both sides hit path limits together
        ASSERT_TRUE(MakeFolders(src));
        ASSERT_TRUE(MakeFolders(dst));
        memset(&walker, 0x5A, sizeof walker);
    }

    // Runs steps until one returns 0; returns current_name of every step.
    std::vector<std::string> RunAll()
    {
        std::vector<std::string> names;
        for (int i = 0; i < 5000 && CopyWalkerStep(&walker); i++)
            names.push_back(walker.current_name);
        return names;
    }

    TempDir dir;
    std::string src, dst;
    CopyWalker walker;
};

TEST_F(CopyWalkerTest, CopiesOneFilePerStepInWalkOrder)
{
    WriteFileText(src + "\\a.dat", "A");
    WriteFileText(src + "\\b.dat", "B");
    WriteFileText(src + "\\sub\\c.dat", "C");
    WriteFileText(src + "\\sub\\deep\\d.dat", "D");
    WriteFileText(src + "\\z.dat", "Z");
    MakeFolders(src + "\\empty\\inner");
    WriteFileText(dst + "\\a.dat", "old and longer");
    std::vector<std::string> expected = FilesInWalkOrder(src);
    ASSERT_EQ(5u, expected.size());

    ASSERT_EQ(1, CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker));
    EXPECT_EQ(expected, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ(6, walker.target);  // the final step found no sixth file
    for (const std::string& name : expected)
        EXPECT_EQ(ReadFileText(src + "\\" + name), ReadFileText(dst + "\\" + name)) << name;
    EXPECT_TRUE(FolderExists(dst + "\\empty\\inner"));  // made by the final step

    // A second run over the same walker starts from the first file again,
    // this time where listings hold no "." and "..", so that the empty
    // folders' listings fail with ERROR_FILE_NOT_FOUND: still no failure.
    ASSERT_TRUE(RemoveDirectoryA((dst + "\\empty\\inner").c_str()));
    ListingHook dotless(ListingHook::NoDotEntries);
    ASSERT_TRUE(dotless.ok());
    ASSERT_EQ(1, CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker));
    EXPECT_EQ(expected, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_TRUE(FolderExists(dst + "\\empty\\inner"));
}

TEST_F(CopyWalkerTest, FoldersWithFurtherAttributeBitsAreWalkedInto)
{
    WriteFileText(src + "\\.config\\settings.ini", "s");
    DWORD attributes = GetFileAttributesA((src + "\\.config").c_str());
    ASSERT_EQ((DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN), attributes)
        << "this platform does not report the folder as hidden; the case is not exercised";
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    EXPECT_EQ(std::vector<std::string>{".config\\settings.ini"}, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ("s", ReadFileText(dst + "\\.config\\settings.ini"));
}

TEST_F(CopyWalkerTest, LinkIsCountedAsAFailureAndNeverFollowed)
{
    WriteFileText(dir / "outside\\secret.dat", "secret");
    WriteFileText(src + "\\a.dat", "A");
    ASSERT_TRUE(MakeFolderLink(dir / "outside", src + "\\link")) << "cannot make a link here";
    DWORD attributes = GetFileAttributesA((src + "\\link").c_str());
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    RemoveFolderLink(src + "\\link");
    ASSERT_EQ(0x410u, attributes & 0x410);
    EXPECT_EQ((std::vector<std::string>{"a.dat", "link"}), names);
    EXPECT_EQ(1, walker.failed);
    EXPECT_FALSE(FileIsThere(dst + "\\link\\secret.dat"));
    EXPECT_TRUE(FileIsThere(dir / "outside\\secret.dat"));
}

TEST_F(CopyWalkerTest, DriveRootLosesNoEntry)
{
    WriteFileText(src + "\\a.dat", "A");
    WriteFileText(src + "\\b.dat", "B");
    WriteFileText(src + "\\c.dat", "C");
    ASSERT_TRUE(MapDrive('N', src)) << "cannot map a drive letter under this Wine";
    CopyWalkerInit("N:", dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    UnmapDrive('N');
    EXPECT_EQ(3u, names.size());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ("A", ReadFileText(dst + "\\a.dat"));
    EXPECT_EQ("B", ReadFileText(dst + "\\b.dat"));
}

TEST_F(CopyWalkerTest, NamesWithBackslashSecondBytesAndPercentSigns)
{
    WriteFileText(src + "\\ソフト\\表.dat", "hyo");
    WriteFileText(src + "\\100%.dat", "pct");
    WriteFileText(src + "\\%s%d.txt", "fmt");
    std::vector<std::string> expected = FilesInWalkOrder(src);
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    EXPECT_EQ(expected, RunAll());
    EXPECT_EQ(0, walker.failed);
    EXPECT_EQ("hyo", ReadFileText(dst + "\\ソフト\\表.dat"));
    EXPECT_EQ("pct", ReadFileText(dst + "\\100%.dat"));
    EXPECT_EQ("fmt", ReadFileText(dst + "\\%s%d.txt"));
}

TEST_F(CopyWalkerTest, FailedCopiesAreCountedTracedAndTheRunGoesOn)
{
    WriteFileText(src + "\\a.dat", "A");
    WriteFileText(src + "\\b.dat", "B");
    WriteFileText(src + "\\c.dat", "C");
    WriteFileText(dst + "\\b.dat", "held");
    HANDLE held = CreateFileA((dst + "\\b.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
    std::vector<std::string> expected = FilesInWalkOrder(src);

    TraceListener listener;
    ASSERT_TRUE(listener.ok());
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    std::vector<std::string> traced = listener.Stop();
    CloseHandle(held);

    EXPECT_EQ(expected, names);
    EXPECT_EQ(1, walker.failed);
    EXPECT_EQ("held", ReadFileText(dst + "\\b.dat"));
    EXPECT_EQ("C", ReadFileText(dst + "\\c.dat"));
    ASSERT_EQ(3u, traced.size());  // one line per attempt, the failed one included
    for (size_t i = 0; i < traced.size(); i++)
        EXPECT_EQ(dst + "\\" + expected[i] + "\n", traced[i]);
}

TEST_F(CopyWalkerTest, ReadOnlyTargetIsNotOverwritten)
{
    WriteFileText(src + "\\a.dat", "new");
    WriteFileText(src + "\\b.dat", "new");
    WriteFileText(dst + "\\a.dat", "old");
    ASSERT_TRUE(SetFileAttributesA((dst + "\\a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine as root would overwrite it; immutable, it refuses as Windows does.
    ImmutableFile immutable(dst + "\\a.dat");
    ASSERT_TRUE(immutable.ok()) << "chattr +i had no effect";
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    EXPECT_EQ(FilesInWalkOrder(src), RunAll());
    EXPECT_EQ(1, walker.failed);
    EXPECT_EQ("old", ReadFileText(dst + "\\a.dat"));
    EXPECT_EQ("new", ReadFileText(dst + "\\b.dat"));
}

TEST_F(CopyWalkerTest, MissingEmptyAndOverlongRoots)
{
    strcpy(walker.current_name, "kept");
    EXPECT_EQ(1, CopyWalkerInit((dir / "missing").c_str(), dst.c_str(), 0, &walker));
    EXPECT_EQ(0, CopyWalkerStep(&walker));
    EXPECT_EQ(0, walker.failed);
    EXPECT_STREQ("kept", walker.current_name);

    // Refused roots: nothing is walked (an empty root would list the drive
    // root) and the run counts as failed. 1,023 bytes are the most a root
    // may hold.
    std::string longest(1023, 'x'), overlong(1024, 'x');
    struct Case {
        std::string src_root, dst_root;
        int rc;
    } cases[] = {{"", dst, 0},       {src, "", 0},      {overlong, dst, 0},
                 {src, overlong, 0}, {longest, dst, 1}, {src, longest, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.src_root.size() * 10000 + c.dst_root.size());
        EXPECT_EQ(c.rc, CopyWalkerInit(c.src_root.c_str(), c.dst_root.c_str(), 0, &walker));
        EXPECT_EQ(c.rc ? c.src_root : "", walker.src_root);
        EXPECT_EQ(0, CopyWalkerStep(&walker));
        EXPECT_EQ(1 - c.rc, walker.failed);
    }
    EXPECT_STREQ("kept", walker.current_name);
}

TEST_F(CopyWalkerTest, PathsThatDoNotFitAreFailuresNamedAndTraced)
{
    WriteFileText(src + "\\file.dat", "f");
    WriteFileText(src + "\\folder12\\x.dat", "x");
    // A target root of 1,015 bytes: root\file.dat and root\folder12 take 1,024.
    std::string long_dst = "C:\\" + std::string(1012, 'd');
    TraceListener listener;
    ASSERT_TRUE(listener.ok());
    ASSERT_EQ(1, CopyWalkerInit(src.c_str(), long_dst.c_str(), 0, &walker));
    std::vector<std::string> names = RunAll();
    std::vector<std::string> traced = listener.Stop();
    EXPECT_EQ((std::vector<std::string>{"file.dat", "folder12"}), names);
    EXPECT_EQ(2, walker.failed);
    ASSERT_EQ(2u, traced.size());
    for (const std::string& line : traced)
        EXPECT_EQ(1023u, line.size());
}

TEST_F(CopyWalkerTest, DeepTreeEndsWithoutACrash)
{
    // As deep as 1,023-byte paths allow, built with the wide calls; the walk's
    // ANSI calls reach only as far as the platform lets them, and the first
    // folder they cannot list is reported as one failure.
    std::wstring wide = L"\\\\?\\";
    for (char c : src)
        wide += (wchar_t)(unsigned char)c;
    std::string narrow = src;
    int levels = 0;
    while (narrow.size() + 2 + 6 <= 1023) {
        wide += L"\\d";
        narrow += "\\d";
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << GetLastError();
        if (++levels % 10 != 1)
            continue;  // a file every tenth level keeps the steps few
        HANDLE file = CreateFileW((wide + L"\\f.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
        CloseHandle(file);
    }
    ASSERT_GT(levels, 400);
    CopyWalkerInit(src.c_str(), dst.c_str(), 0, &walker);
    std::vector<std::string> names = RunAll();
    // Depth first: the deepest reachable entries come first, level 1's file last.
    ASSERT_GE(names.size(), 10u);
    EXPECT_EQ("d\\f.dat", names.back());
    EXPECT_TRUE(FileIsThere(dst + "\\d\\f.dat"));
    EXPECT_GE(walker.failed, 1);
    EXPECT_LE(walker.failed, 3);
    // Clean up from the deepest level, with the wide calls again.
    for (; levels > 0; levels--) {
        DeleteFileW((wide + L"\\f.dat").c_str());
        RemoveDirectoryW(wide.c_str());
        wide.resize(wide.size() - 2);
    }
}
