#include "toolkit/files/file_io.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/trace_listener.h"

TEST(FileIo, RangesOffsetsAndWholeBlocks)
{
    TempDir dir;
    std::string path = dir / "a.dat", added = dir / "b.dat";
    const char* p = path.c_str();
    EXPECT_EQ(6u, FileWriteNew(p, "abcdef", 6));
    EXPECT_EQ(2u, FileWriteAt(p, "XY", 2, 2));
    EXPECT_EQ(1u, FileWriteAt(p, "A", 0, 1));
    EXPECT_EQ(2u, FileWriteAt(p, "gh", 8, 2));   // past the end: a zero gap
    EXPECT_EQ(0u, FileWriteAt(p, "--", -2, 2));  // negative: not written at the start
    char buf[8];
    memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(3u, FileReadAt(p, buf, 0, 3));
    EXPECT_EQ("AbXZZZZZ", std::string(buf, 8));
    EXPECT_EQ(2u, FileReadAt(p, buf, 8, 6));
    EXPECT_EQ(0u, FileReadAt(p, buf, 10, 4));
    EXPECT_EQ(0u, FileReadAt(p, buf, -1, 4));
    EXPECT_EQ("ghXZZZZZ", std::string(buf, 8));
    char* block = nullptr;
    ASSERT_EQ(10u, FileReadAll(p, &block));
    EXPECT_EQ(10u, GlobalSize(block));  // no terminator added
    EXPECT_EQ(std::string("AbXYef\0\0gh", 10), std::string(block, 10));
    EXPECT_EQ(nullptr, GlobalFree(block));
    char sentinel;
    block = &sentinel;
    EXPECT_EQ(0u, FileWriteNew(p, "", 0));
    EXPECT_EQ(0u, FileReadAll(p, &block) + FileReadAll(added.c_str(), &block));  // empty, missing
    EXPECT_EQ(&sentinel, block);
    EXPECT_EQ(2u, FileAppend(added.c_str(), "ab", 2));  // created
    EXPECT_EQ(1u, FileAppend(added.c_str(), "c", 1));
    EXPECT_EQ(3u, FileGetSize(added.c_str()));
}

TEST(FileIo, FilesOf4GiBOrMoreGiveZeroAndTheTraceLine)
{
    TempDir dir;
    std::string path = dir / "big.dat";
    // Sparse, 4 GiB and 10 bytes: the low half alone would look like 10.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 10;
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    TraceListener listener;
    ASSERT_TRUE(listener.ok());
    char sentinel;
    char* block = &sentinel;
    EXPECT_EQ(0u, FileGetSize(path.c_str()) + FileReadAll(path.c_str(), &block));
    EXPECT_EQ(&sentinel, block);
    EXPECT_EQ(std::vector<std::string>{"ファイルサイズと読みこみサイズが違うなり、何ゆえ？"},
              listener.Stop());
}

TEST(FileIo, HoldersAndReadOnlyFilesDecideWhoMayOpen)
{
    TempDir dir;
    std::string path = dir / "held.dat";
    const char* p = path.c_str();
    WriteFileText(path, "held");
    char buf[8];
    // A reader sharing everything: reads go on; writes and the delete fail,
    // as they share nothing.
    HANDLE holder = CreateFileA(p, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(4u, FileRead(p, buf, sizeof buf));
    EXPECT_EQ(0u, FileWriteNew(p, "x", 1) + FileWriteAt(p, "x", 0, 1) + FileAppend(p, "x", 1));
    EXPECT_EQ(0, FileDelete(p));
    CloseHandle(holder);
    // A writer, even one sharing everything: the reads fail too.
    holder = CreateFileA(p, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(0u, FileRead(p, buf, sizeof buf) + FileGetSize(p));
    EXPECT_EQ(0, FileExists(p) + FileDelete(p));
    CloseHandle(holder);
    EXPECT_EQ("held", ReadFileText(path));
    ASSERT_TRUE(SetFileAttributesA(p, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, FileDelete(p));
    EXPECT_EQ(1, FileExists(p));
    EXPECT_EQ(0, FileExists(dir.path().c_str()) + FileDelete(dir.path().c_str()));
}
