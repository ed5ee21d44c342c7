#include "app/update_state.h"

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_window.h"
#include "tests/support/wine_host.h"

static const char FailureLines[] =
    "[%d]個のファイルのコピーに失敗しました\r\n"
    "アップデートは正常に終了しませんでした。\r\n"
    "※アップデート先のファイルに書込み禁止属性が付いているか、アンインストール、"
    "あるいは移動されている可能性があります。\r\n"
    "　正規の手順でインストールを行いその後にアップデートしてください。\r\n";

class UpdateTickTest : public testing::Test {
protected:
    void SetUp() override
    {
        memset(&UpdateState, 0, sizeof UpdateState);
        strcpy(UpdateState.work_dir, dir.path().c_str());
        strcpy(UpdateState.install_dir, (dir / "inst").c_str());
        MakeFolders(dir / "inst");
        UpdateState.dialog = window.hwnd();
    }
    void TearDown() override { memset(&UpdateState, 0, sizeof UpdateState); }

    // Presses Start and runs passes until the run has been reported, checking
    // that both buttons stay disabled while it is under way. stop_after: set
    // abort_requested once that many files have been handled.
    void Run(int stop_after = -1)
    {
        ASSERT_EQ(Idle, UpdateState.phase);
        UpdateState.phase = StartRequested;
        for (int pass = 0; pass < 10000; pass++) {
            ASSERT_EQ(1, UpdateTick());
            if (UpdateState.phase == Idle)
                break;
            EXPECT_FALSE(window.Enabled(IDC_START));
            EXPECT_FALSE(window.Enabled(IDC_QUIT));
            if (UpdateState.copied_count == stop_after)
                UpdateState.abort_requested = 1;
        }
        EXPECT_EQ(Idle, UpdateState.phase);
        EXPECT_TRUE(window.Enabled(IDC_START));
        EXPECT_TRUE(window.Enabled(IDC_QUIT));
    }

    std::string ControlText()
    {
        std::string text(LogTextSize, '\0');
        text.resize(GetDlgItemTextA(window.hwnd(), IDC_LOG, &text[0], LogTextSize));
        return text;
    }

    static std::string Block(const std::vector<std::string>& names, const std::string& end)
    {
        std::string text = "コピー開始\r\n\r\n";
        for (const std::string& name : names)
            text += name + "\r\n";
        return text + "\r\n" + end;
    }
    static std::string Success(int count)
    {
        char line[128];
        wsprintfA(line, "[%d]個のファイルをコピーしました。\r\nアップデート終了\r\n", count);
        return line;
    }
    static std::string Failure(int count)
    {
        char lines[512];
        wsprintfA(lines, FailureLines, count);
        return lines;
    }

    TempDir dir;
    LogWindow window;
};

TEST_F(UpdateTickTest, WholeRunsLogEveryLineExactly)
{
    WriteFileText(dir / "patch\\a.dat", "A");
    WriteFileText(dir / "patch\\sub\\b.dat", "B");
    WriteFileText(dir / "patch\\100%.dat", "P");
    WriteFileText(dir / "patch\\表\\ソ.dat", "S");
    MakeFolders(dir / "patch\\empty");
    WriteFileText(dir / "inst\\a.dat", "old");
    std::vector<std::string> names = FilesInWalkOrder(dir / "patch");
    ASSERT_EQ(4u, names.size());

    Run();
    std::string first = Block(names, Success(4));
    EXPECT_EQ(first, UpdateState.log_text);
    EXPECT_EQ(first, ControlText());
    for (const std::string& name : names)
        EXPECT_EQ(ReadFileText(dir / "patch\\" + name), ReadFileText(dir / "inst\\" + name));
    EXPECT_TRUE(FolderExists(dir / "inst\\empty"));

    // A second run is appended below the first and counts from 0 again.
    Run();
    EXPECT_EQ(first + first, UpdateState.log_text);
    EXPECT_EQ(first + first, ControlText());
}

TEST_F(UpdateTickTest, AbortEndsTheRunAfterTheFileUnderWay)
{
    for (const char* name : {"1.dat", "2.dat", "3.dat", "4.dat", "5.dat"})
        WriteFileText(dir / "patch\\" + name, name);
    std::vector<std::string> names = FilesInWalkOrder(dir / "patch");
    Run(2);
    EXPECT_EQ(Block({names[0], names[1]}, Success(2)), UpdateState.log_text);

    // Abort while Idle is forgotten at the next pass ...
    UpdateState.abort_requested = 1;
    EXPECT_EQ(1, UpdateTick());
    EXPECT_EQ(0, UpdateState.abort_requested);
    // ... unless Start comes first: that run ends at once with nothing handled.
    UpdateState.log_text[0] = 0;
    UpdateState.abort_requested = 1;
    Run();
    EXPECT_EQ(Block({}, Success(0)), UpdateState.log_text);
}

TEST_F(UpdateTickTest, MissingPatchReportsNoFiles)
{
    Run();
    EXPECT_EQ(Block({}, Success(0)), UpdateState.log_text);
}

TEST_F(UpdateTickTest, WithoutAWorkingFolderNothingIsTakenFromTheDriveRoot)
{
    // "\patch" would name the folder patch at the root of the current drive.
    WriteFileText(dir / "patch\\a.dat", "A");
    ASSERT_TRUE(MapDrive('M', dir.path())) << "cannot map a drive letter under this Wine";
    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof old, old);
    SetCurrentDirectoryA("M:\\");
    UpdateState.work_dir[0] = 0;
    Run();
    SetCurrentDirectoryA(old);
    UnmapDrive('M');
    EXPECT_EQ(Block({}, Failure(1)), UpdateState.log_text);
    EXPECT_FALSE(FileIsThere(dir / "inst\\a.dat"));
}

TEST_F(UpdateTickTest, FailedCopyGivesTheFourFailureLines)
{
    WriteFileText(dir / "patch\\a.dat", "A");
    WriteFileText(dir / "patch\\b.dat", "B");
    WriteFileText(dir / "inst\\a.dat", "held");
    HANDLE held = CreateFileA((dir / "inst\\a.dat").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
    std::vector<std::string> names = FilesInWalkOrder(dir / "patch");
    Run();
    CloseHandle(held);
    EXPECT_EQ(Block(names, Failure(1)), UpdateState.log_text);
    EXPECT_EQ("B", ReadFileText(dir / "inst\\b.dat"));
}

TEST_F(UpdateTickTest, QuitEndsTheLoopAndUnknownPhasesDoNothing)
{
    UpdateState.phase = 5;
    UpdateState.abort_requested = 1;
    EXPECT_EQ(1, UpdateTick());
    EXPECT_EQ(5, UpdateState.phase);
    EXPECT_EQ(1, UpdateState.abort_requested);
    EXPECT_STREQ("", UpdateState.log_text);
    UpdateState.phase = Quit;
    EXPECT_EQ(0, UpdateTick());
    EXPECT_EQ(0, UpdateTick());
}

TEST_F(UpdateTickTest, LogLinesAreCutAt255BytesOnACharacterBoundary)
{
    std::string kanji;
    for (int i = 0; i < 200; i++)
        kanji += "表";
    EXPECT_NE(0, LogPrintf(nullptr, "[%d]個のファイルをコピーしました。", 3));
    EXPECT_NE(0, LogPrintf(UpdateState.log_text, "a%s", kanji.c_str()));
    EXPECT_NE(0, LogPrintf(UpdateState.log_text, "%s", kanji.c_str()));
    EXPECT_EQ("[3]個のファイルをコピーしました。\r\n"
              "a" + kanji.substr(0, 254) + "\r\n" + kanji.substr(0, 254) + "\r\n",
              std::string(UpdateState.log_text));
    EXPECT_EQ(std::string(UpdateState.log_text), ControlText());

    UpdateState.dialog = nullptr;  // without a dialog the line is still logged
    EXPECT_EQ(0, LogPrintf(nullptr, "x"));
    EXPECT_STREQ("x\r\n", UpdateState.log_text + strlen(UpdateState.log_text) - 3);
}

TEST_F(UpdateTickTest, FullLogDropsWholeLinesFromItsBeginning)
{
    UpdateState.dialog = nullptr;  // keeps the test fast
    // Fill the log with numbered lines of 16 bytes until it is nearly full.
    char* log = UpdateState.log_text;
    size_t len = 0;
    int lines = 0;
    while (len + 16 <= (size_t)LogTextSize - 1 - 8) {
        wsprintfA(log + len, "line %09d\r\n", lines++);
        len += 16;
    }
    // 14 bytes are left: a line of 12 and CR LF fill them, and nothing goes.
    LogPrintf(nullptr, "%s", std::string(12, 'a').c_str());
    EXPECT_EQ((size_t)LogTextSize - 1, strlen(log));
    EXPECT_EQ(log, strstr(log, "line 000000000\r\n"));
    // A line of 14 and CR LF need exactly the first line's 16 bytes.
    LogPrintf(nullptr, "%s", std::string(14, 'b').c_str());
    EXPECT_EQ((size_t)LogTextSize - 1, strlen(log));
    EXPECT_EQ(log, strstr(log, "line 000000001\r\n"));
    // 37 bytes take three lines; then 18 bytes take one more.
    LogPrintf(nullptr, "[%d]個のファイルをコピーしました。", lines);
    LogPrintf(nullptr, "アップデート終了");
    std::string text = log;
    EXPECT_LE(text.size(), (size_t)LogTextSize - 1);
    EXPECT_EQ(0u, text.find("line 000000005\r\n"));  // starts with a whole line
    char tail[128];
    wsprintfA(tail, "[%d]個のファイルをコピーしました。\r\nアップデート終了\r\n", lines);
    EXPECT_EQ(text.size() - strlen(tail), text.rfind(tail));
    // Only as many lines as needed went: the latest numbered line is still there.
    char last[32];
    wsprintfA(last, "line %09d\r\n", lines - 1);
    EXPECT_NE(std::string::npos, text.find(last));
    EXPECT_EQ(std::string::npos, text.find("line 000000000"));
}

TEST_F(UpdateTickTest, LogViewFollowsTheNewestLine)
{
    for (int i = 0; i < 200; i++)
        LogPrintf(nullptr, "line %d", i);
    HWND log = GetDlgItem(window.hwnd(), IDC_LOG);
    LRESULT first_visible = SendMessageA(log, EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(first_visible, 150);
}
