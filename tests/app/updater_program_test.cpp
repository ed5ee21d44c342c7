// update.exe as a user meets it: started with a chosen current directory and
// a prepared "InstallDir", its dialog found by caption, its buttons pressed by
// posted commands, its log read back from the control.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/updater_process.h"

class UpdaterProgram : public testing::Test {
protected:
    void SetUp() override
    {
        work = dir / "work";
        inst = dir / "inst";
        MakeFolders(work);
        MakeFolders(inst);
    }
    void TearDown() override { EraseInstallDir(); }

    // Starts the program in work and waits for its dialog.
    void Launch(const std::string& exe = UpdateExePath())
    {
        ASSERT_TRUE(updater.Start(exe, work)) << exe << " " << GetLastError();
        ASSERT_NE(nullptr, updater.WaitDialog()) << "no dialog";
    }
    void MakePatch(int files)
    {
        for (int i = 0; i < files; i++) {
            char name[64];
            wsprintfA(name, "patch\\f%03d.dat", i);
            WriteFileText(work + "\\" + name, name);
        }
    }
    // The log's lines, without their CR LF.
    std::vector<std::string> LogLines()
    {
        std::vector<std::string> lines;
        std::string log = updater.Text(IDC_LOG);
        for (size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(log.substr(at, end - at));
        return lines;
    }
    void Quit()
    {
        updater.Command(IDC_QUIT);
        EXPECT_NE(-1, updater.WaitExit()) << "the program did not end on 終了";
    }

    TempDir dir;
    std::string work, inst;
    UpdaterProcess updater;
};

TEST_F(UpdaterProgram, RunCopiesThePatchOfTheCurrentDirectory)
{
    WriteFileText(work + "\\patch\\a.dat", "new a");
    WriteFileText(work + "\\patch\\sub\\b.dat", "new b");
    WriteFileText(work + "\\patch\\表\\ソ.dat", "new so");
    WriteFileText(inst + "\\a.dat", "old a");
    // A copy of the program with a decoy "patch" beside it: only the current
    // directory counts.
    std::string exe = dir / "bin\\update.exe";
    MakeFolders(dir / "bin");
    ASSERT_TRUE(CopyFileA(UpdateExePath().c_str(), exe.c_str(), FALSE)) << GetLastError();
    WriteFileText(dir / "bin\\patch\\decoy.dat", "decoy");
    ASSERT_TRUE(StoreInstallDir(inst + "\\"));
    std::vector<std::string> names = FilesInWalkOrder(work + "\\patch");

    Launch(exe);
    RECT rc;
    GetWindowRect(updater.dialog(), &rc);
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(0, rc.top);
    EXPECT_EQ(inst, updater.Text(IDC_INSTALL_DIR));
    EXPECT_EQ("", updater.Text(IDC_LOG));

    updater.Command(IDC_START);
    ASSERT_TRUE(updater.WaitRunEnd());
    std::string expected = "コピー開始\r\n\r\n";
    for (const std::string& name : names)
        expected += name + "\r\n";
    expected += "\r\n[3]個のファイルをコピーしました。\r\nアップデート終了\r\n";
    EXPECT_EQ(expected, updater.Text(IDC_LOG));
    EXPECT_EQ("new a", ReadFileText(inst + "\\a.dat"));
    EXPECT_EQ("new b", ReadFileText(inst + "\\sub\\b.dat"));
    EXPECT_EQ("new so", ReadFileText(inst + "\\表\\ソ.dat"));
    EXPECT_FALSE(FileIsThere(inst + "\\decoy.dat"));
    Quit();
}

TEST_F(UpdaterProgram, MissingEmptyOrOverlongInstallDirEndsWithTheWarning)
{
    // One character is empty once the last one is dropped.
    std::string values[] = {"<missing>", "", "\\", "C", "表",
                            "C:\\" + std::string(1100, 'x') + "\\"};
    for (const std::string& value : values) {
        SCOPED_TRACE(value.substr(0, 20));
        EraseInstallDir();
        if (value != "<missing>") {
            ASSERT_TRUE(StoreInstallDir(value));
        }
        UpdaterProcess process;
        ASSERT_TRUE(process.Start(UpdateExePath(), work)) << GetLastError();
        HWND box = process.WaitMessageBox();
        ASSERT_NE(nullptr, box) << "no warning box";
        EXPECT_EQ("警告", process.Text(0, box));
        EXPECT_EQ("Kivari Quilmar のインストール情報が見つかりません。", process.Text(0xFFFF, box));
        EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER));
        EXPECT_EQ(nullptr, process.FindWindowOfProcess("Pelto アップデーター", false));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0, process.WaitExit());
    }
}

TEST_F(UpdaterProgram, LastCharacterOfTheValueIsDropped)
{
    struct Case {
        std::string stored, shown;
    } cases[] = {
        {"D:\\Apps\\Title\\", "D:\\Apps\\Title"},
        {"D:\\Apps\\Title", "D:\\Apps\\Titl"},
        {"D:\\Apps\\表", "D:\\Apps\\"},  // a two-byte character goes whole
        // Longer than 259 characters: shown whole.
        {"C:\\" + std::string(300, 'x') + "\\", "C:\\" + std::string(300, 'x')},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(StoreInstallDir(c.stored));
        UpdaterProcess process;
        ASSERT_TRUE(process.Start(UpdateExePath(), work));
        ASSERT_NE(nullptr, process.WaitDialog());
        EXPECT_EQ(c.shown, process.Text(IDC_INSTALL_DIR));
        process.Command(IDC_QUIT);
        EXPECT_NE(-1, process.WaitExit());
    }
}

TEST_F(UpdaterProgram, CloseBoxIsIgnoredDuringARunAndEndsTheProgramAfterIt)
{
    MakePatch(30);
    ASSERT_TRUE(StoreInstallDir(inst + "\\"));
    Launch();
    updater.Command(IDC_START);
    ASSERT_TRUE(updater.WaitLogLines(4));
    PostMessageA(updater.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(updater.WaitRunEnd());
    EXPECT_TRUE(updater.Running());
    EXPECT_EQ("[30]個のファイルをコピーしました。", LogLines()[33]);
    Sleep(200);  // several idle passes: the close was not remembered
    EXPECT_TRUE(updater.Running());
    PostMessageA(updater.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_NE(-1, updater.WaitExit());
}

TEST_F(UpdaterProgram, AbortFromOutsideEndsTheRunEarly)
{
    MakePatch(40);
    ASSERT_TRUE(StoreInstallDir(inst + "\\"));
    Launch();
    updater.Command(IDC_START);
    ASSERT_TRUE(updater.WaitLogLines(5));
    updater.Command(IDC_ABORT);
    ASSERT_TRUE(updater.WaitRunEnd());
    std::vector<std::string> lines = LogLines();
    int handled = (int)lines.size() - 5;  // start line, empty lines, count and end lines
    EXPECT_GT(handled, 0);
    EXPECT_LT(handled, 40);
    char count[64];
    wsprintfA(count, "[%d]個のファイルをコピーしました。", handled);
    EXPECT_EQ(count, lines[lines.size() - 2]);
    Quit();
}

TEST_F(UpdaterProgram, FailureLinesAreInViewAtTheEndOfALongLog)
{
    MakePatch(30);
    WriteFileText(inst + "\\f005.dat", "held");
    HANDLE held = CreateFileA((inst + "\\f005.dat").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
    ASSERT_TRUE(StoreInstallDir(inst + "\\"));
    Launch();
    updater.Command(IDC_START);
    bool ended = updater.WaitRunEnd();
    CloseHandle(held);
    ASSERT_TRUE(ended);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(37u, lines.size());
    EXPECT_EQ("[1]個のファイルのコピーに失敗しました", lines[33]);
    EXPECT_EQ("　正規の手順でインストールを行いその後にアップデートしてください。", lines[36]);

    // The start of the last line stands inside the control's client area.
    HWND log = GetDlgItem(updater.dialog(), IDC_LOG);
    std::string text = updater.Text(IDC_LOG);
    size_t last = text.rfind("\r\n", text.size() - 3) + 2;
    // The control counts characters, not bytes.
    int index = MultiByteToWideChar(932, 0, text.c_str(), (int)last, nullptr, 0);
    LRESULT pos = SendMessageA(log, EM_POSFROMCHAR, index, 0);
    RECT client;
    GetClientRect(log, &client);
    short y = (short)HIWORD(pos);
    EXPECT_GT(SendMessageA(log, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_GE(y, 0);
    EXPECT_LT(y, client.bottom);
    Quit();
}

// Big files for the interrupted copy, written and compared one 1 MiB block at
// a time: a 32-bit process cannot count on one block of 256 MiB. Each block
// carries its number, so that blocks out of place show too.
static const DWORD BlockSize = 1 << 20;

static void FillBlock(std::vector<char>* block, DWORD number)
{
    memset(block->data(), 'A' + number % 26, BlockSize);
    wsprintfA(block->data(), "block %lu", number);
}

// The size of a file, or -1 when there is none.
static LONGLONG SizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

static bool WriteBlocks(const std::string& path, DWORD blocks)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> block(BlockSize);
    DWORD written = BlockSize;
    for (DWORD b = 0; b < blocks && written == BlockSize; b++) {
        FillBlock(&block, b);
        if (!WriteFile(file, block.data(), BlockSize, &written, nullptr))
            written = 0;
    }
    CloseHandle(file);
    return written == BlockSize;
}

static bool HoldsBlocks(const std::string& path, DWORD blocks)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> want(BlockSize), got(BlockSize);
    bool same = SizeOf(path) == (LONGLONG)blocks * BlockSize;
    for (DWORD b = 0; b < blocks && same; b++) {
        DWORD read = 0;
        FillBlock(&want, b);
        same = ReadFile(file, got.data(), BlockSize, &read, nullptr) && read == BlockSize &&
               memcmp(want.data(), got.data(), BlockSize) == 0;
    }
    CloseHandle(file);
    return same;
}

// The program ended while it writes a 256 MiB patch file over an installed
// file leaves the installed file whole; the next run puts the new file in
// place and removes what the ended one left. The test waits for states, never
// for fixed times, with deadlines that hold where the processor is emulated
// and everything runs ten times slower.
TEST_F(UpdaterProgram, EndedMidCopyLeavesTheInstalledFileWholeForTheNextRun)
{
    const DWORD blocks = 256;
    const LONGLONG half = (LONGLONG)blocks * BlockSize / 2;
    std::string installed = inst + "\\big.dat", temp = installed + ".~upd";
    ASSERT_TRUE(MakeFolders(work + "\\patch"));
    ASSERT_TRUE(WriteBlocks(work + "\\patch\\big.dat", blocks));
    std::string old(100000, 'o');
    for (size_t i = 0; i < old.size(); i += 10)
        old.replace(i, 10, "old bytes\n");
    ASSERT_TRUE(WriteFileText(installed, old));
    ASSERT_TRUE(StoreInstallDir(inst + "\\"));

    UpdaterProcess first;
    ASSERT_TRUE(first.Start(UpdateExePath(), work)) << GetLastError();
    ASSERT_NE(nullptr, first.WaitDialog(60000));
    first.Command(IDC_START);
    // Ended at once when the copy is seen under way and less than half done:
    // the temporary file growing or, were the copy made in place, the
    // installed file cut.
    bool under_way = false;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 120000 && first.Running(); Sleep(1)) {
        LONGLONG temp_size = SizeOf(temp), installed_size = SizeOf(installed);
        under_way = (temp_size >= 0 && temp_size < half) ||
                    (installed_size != (LONGLONG)old.size() && installed_size < half);
        if (under_way)
            break;
    }
    ASSERT_TRUE(under_way) << "the copy was never seen under way";
    ASSERT_TRUE(first.Terminate());
    ASSERT_EQ((LONGLONG)old.size(), SizeOf(installed));
    EXPECT_TRUE(ReadFileText(installed) == old);
    EXPECT_TRUE(FileIsThere(temp)) << "the copy was not ended under way";

    ASSERT_TRUE(updater.Start(UpdateExePath(), work)) << GetLastError();
    ASSERT_NE(nullptr, updater.WaitDialog(60000));
    updater.Command(IDC_START);
    ASSERT_TRUE(updater.WaitRunEnd(300000));
    EXPECT_EQ("コピー開始\r\n\r\nbig.dat\r\n\r\n[1]個のファイルをコピーしました。\r\nアップデート終了\r\n",
              updater.Text(IDC_LOG));
    EXPECT_TRUE(HoldsBlocks(installed, blocks));
    EXPECT_EQ(std::vector<std::string>{"big.dat"}, FilesInWalkOrder(inst));
    Quit();
}

TEST(UpdaterManifest, AsksForHighestAvailableAndNamesTheSupportedSystems)
{
    // Without a manifest a 32-bit program writing under Program Files would
    // be virtualised into the user's VirtualStore and report success.
    HMODULE exe = LoadLibraryExA(UpdateExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, exe) << GetLastError();
    HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
    ASSERT_NE(nullptr, found) << GetLastError();
    std::string manifest((const char*)LockResource(LoadResource(exe, found)),
                         SizeofResource(exe, found));
    FreeLibrary(exe);
    EXPECT_NE(std::string::npos, manifest.find("level=\"highestAvailable\""));
    for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
        EXPECT_NE(std::string::npos, manifest.find(os)) << os;
    EXPECT_EQ(std::string::npos, manifest.find("Common-Controls"));  // no visual styles
}
