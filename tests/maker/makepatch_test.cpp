// makepatch.exe as a publisher runs it: two installations on disk, the patch
// that it writes, its report and exit code, and the update.exe of the same
// build copying that patch over the old installation.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/support/console_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/updater_process.h"
#include "tests/support/wine_host.h"
#include "toolkit/files/folder_tree.h"

static const char DefaultInstallDir[] = "C:\\Program Files (x86)\\Pelto\\Kivari Quilmar";

static std::wstring Wide(const std::string& ansi)
{
    wchar_t text[MAX_PATH * 2];
    return MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, text, MAX_PATH * 2) ? text : L"";
}

// Makes an entry whose name code page 932 may not hold in folder: a file, or
// with a trailing backslash a folder holding the file x.txt.
static bool MakeWide(const std::string& folder, const std::wstring& name)
{
    std::wstring path = Wide(folder) + L"\\" + name;
    if (path.back() == L'\\') {
        if (!CreateDirectoryW(path.c_str(), nullptr))
            return false;
        path += L"x.txt";
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);
    return written == 4;
}

// Every file below root with its bytes, and every folder as "<folder>", by
// relative path.
static std::map<std::string, std::string> TreeOf(const std::string& root)
{
    std::map<std::string, std::string> tree;
    for (const TreeEntry& entry : TreeEntriesInWalkOrder(root))
        tree[entry.path] = entry.folder ? "<folder>" : ReadFileText(root + "\\" + entry.path);
    return tree;
}

// A report's lines without their CR LF.
static std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

static int CountStarting(const std::vector<std::string>& lines, const std::string& start)
{
    int count = 0;
    for (const std::string& line : lines)
        count += line.compare(0, start.size(), start) == 0;
    return count;
}

static std::string Repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; i++)
        all += text;
    return all;
}

// The round trip: the patch made from two installations, copied by the real
// updater over the old one, gives the new one, and the file that the new one
// dropped stays and was reported.
TEST(MakePatch, PatchCopiedByTheUpdaterTurnsOldIntoNew)
{
    TempDir dir;
    std::string old_root = dir / "old", new_root = dir / "new", work = dir / "work",
                inst = dir / "inst";
    // Same size, one byte apart, wherever a block comparison could stop
    // short: every byte of every block must count, the last partial one too.
    const int Block = 64 * 1024;
    struct OneByte {
        const char* path;
        int size;
        int differs_at;  // -1: the same bytes
    } one_byte[] = {
        {"byte17.bin", 17, 16},
        {"end_of_block1.bin", 2 * Block, Block - 1},
        {"start_of_block2.bin", 2 * Block, Block},
        {"end_of_tail.bin", 3 * Block + 5, 3 * Block + 4},
        {"equal.bin", 3 * Block + 5, -1},
    };
    struct Entry {
        const char* path;
        const char* old_data;  // null: not in OLD
        const char* new_data;  // null: not in NEW
    } entries[] = {
        {"same.txt", "same", "same"},
        {"表\\ソ.dat", "old so", "new so"},  // second bytes 0x5C, same size
        {"resized.dat", "short", "longer now"},
        {"能\\keep.txt", "keep", "keep"},
        {"能\\表示\\新規.txt", nullptr, "fresh"},
        {"removed.txt", "bye", nullptr},
        {"sub\\deep\\gone.dat", "gone", nullptr},
        {"sub\\deep\\stays.dat", "stays", "stays"},
    };
    for (const Entry& e : entries) {
        if (e.old_data) {
            ASSERT_TRUE(WriteFileText(old_root + "\\" + e.path, e.old_data));
        }
        if (e.new_data) {
            ASSERT_TRUE(WriteFileText(new_root + "\\" + e.path, e.new_data));
        }
    }
    std::map<std::string, std::string> new_bytes;
    for (const OneByte& e : one_byte) {
        std::string data(e.size, 0);
        for (int i = 0; i < e.size; i++)
            data[i] = (char)(i * 7 % 251);
        ASSERT_TRUE(WriteFileText(old_root + "\\" + e.path, data));
        if (e.differs_at >= 0)
            data[e.differs_at] ^= 0x20;
        ASSERT_TRUE(WriteFileText(new_root + "\\" + e.path, data));
        new_bytes[e.path] = data;
    }
    ASSERT_TRUE(MakeFolders(new_root + "\\empty\\inner"));
    ASSERT_TRUE(MakeFolders(work));

    ConsoleRun run = RunConsoleProgram(MakepatchExePath(), {old_root, new_root, work + "\\patch"});
    ASSERT_EQ(0, run.exit_code) << run.out << run.err;
    std::vector<std::string> lines = Lines(run.out);
    std::vector<std::string> expected = {
        "changed byte17.bin",
        "changed end_of_block1.bin",
        "changed start_of_block2.bin",
        "changed end_of_tail.bin",
        "new     empty\\",
        "new     empty\\inner\\",
        "changed resized.dat",
        "changed 表\\ソ.dat",
        "new     能\\表示\\",
        "new     能\\表示\\新規.txt",
        "left in place by the update (the new installation lacks them):",
        "        removed.txt",
        "        sub\\deep\\gone.dat",
        "written: 1 new and 6 changed files, 3 new folders; not written: 4 unchanged files; "
        "left in place: 2 files",
        std::string("check: 7 files to copy, 0 entries will fail under ") + DefaultInstallDir,
    };
    // Written lines come in listing order, which no platform promises.
    std::sort(lines.begin(), lines.begin() + std::min<size_t>(10, lines.size()));
    std::sort(expected.begin(), expected.begin() + 10);
    if (lines.size() >= 13)
        std::sort(lines.begin() + 11, lines.begin() + 13);
    EXPECT_EQ(expected, lines);
    std::map<std::string, std::string> patch = TreeOf(work + "\\patch");
    std::map<std::string, std::string> written = {
        {"empty", "<folder>"},        {"empty\\inner", "<folder>"},
        {"resized.dat", "longer now"}, {"表", "<folder>"},          {"表\\ソ.dat", "new so"},
        {"能", "<folder>"},           {"能\\表示", "<folder>"},     {"能\\表示\\新規.txt", "fresh"},
    };
    for (const OneByte& e : one_byte)
        if (e.differs_at >= 0)
            written[e.path] = new_bytes[e.path];
    EXPECT_EQ(written, patch);

    ASSERT_TRUE(MakeFolders(inst));
    ASSERT_EQ(1, FolderCopyTree(old_root.c_str(), inst.c_str(), 0));
    ASSERT_TRUE(StoreInstallDir(inst + "\\"));
    UpdaterProcess updater;
    ASSERT_TRUE(updater.Start(UpdateExePath(), work)) << GetLastError();
    ASSERT_NE(nullptr, updater.WaitDialog());
    updater.Command(IDC_START);
    bool ended = updater.WaitRunEnd();
    std::string log = updater.Text(IDC_LOG);
    updater.Command(IDC_QUIT);
    EXPECT_NE(-1, updater.WaitExit());
    EraseInstallDir();
    ASSERT_TRUE(ended) << log;
    EXPECT_NE(std::string::npos, log.find("[7]個のファイルをコピーしました。")) << log;
    std::map<std::string, std::string> want = TreeOf(new_root);
    want["removed.txt"] = "bye";
    want["sub\\deep\\gone.dat"] = "gone";
    EXPECT_EQ(want, TreeOf(inst));
}

// The check: each entry that the updater would fail on is reported once,
// with exit code 1; a clean patch gives exit code 0.
TEST(MakePatch, CheckReportsEachEntryThatWillFailOnce)
{
    // Installation folders of a chosen length in characters: "C:\" and fill.
    auto install = [](const std::string& fill, int times) { return "C:\\" + Repeat(fill, times); };
    struct Case {
        const char* what;
        std::vector<std::string> files;  // written with the ANSI calls; "name\\" is a folder
        const wchar_t* wide_name;        // made by MakeWide, or null
        bool link;                       // adds lnk, a link to a folder of files outside
        std::string install_dir;         // "" for the default
        int failures;
        std::string named;  // the path that the one failure names
    } cases[] = {
        {"clean", {"a.txt", "表\\ソ.dat"}, nullptr, false, "", 0, ""},
        {"name outside code page 932", {"a.txt"}, L"caf\u00e9.txt", false, "", 1, "caf?.txt"},
        {"emoji, one stand-in for its pair of surrogates", {"a.txt"}, L"\U0001F600.txt", false,
         "", 1, "?.txt"},
        {"folder outside code page 932, once for all in it", {"a.txt"}, L"caf\u00e9\\", false, "",
         1, "caf?\\"},
        // Characters count, not bytes: 259 characters are 509 bytes here.
        {"file path of 259 characters", {"a.txt", "b"}, nullptr, false, install("表", 250), 0, ""},
        {"file path of 260 characters", {"a.txt", "b"}, nullptr, false, install("表", 251), 1,
         "a.txt"},
        {"folder path of 247 characters", {"f", "d\\"}, nullptr, false, install("i", 242), 0, ""},
        {"folder path of 248 characters", {"f", "d\\"}, nullptr, false, install("i", 243), 1,
         "d\\"},
        {"directory link", {"a.txt"}, nullptr, true, "", 1, "lnk\\"},
        {"empty patch", {}, nullptr, false, "", 1, ""},
        {"only an empty folder", {"d\\"}, nullptr, false, "", 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string patch = dir / "patch";
        ASSERT_TRUE(MakeFolders(patch));
        for (const std::string& file : c.files) {
            if (file.back() == '\\') {
                ASSERT_TRUE(MakeFolders(patch + "\\" + file.substr(0, file.size() - 1)));
            } else {
                ASSERT_TRUE(WriteFileText(patch + "\\" + file, "data"));
            }
        }
        if (c.wide_name) {
            ASSERT_TRUE(MakeWide(patch, c.wide_name)) << GetLastError();
        }
        if (c.link) {
            ASSERT_TRUE(WriteFileText(dir / "behind\\inside.txt", "data"));
            ASSERT_TRUE(MakeFolderLink(dir / "behind", patch + "\\lnk"));
        }
        std::vector<std::string> args = {"--check", patch};
        if (!c.install_dir.empty())
            args.push_back(c.install_dir);
        ConsoleRun run = RunConsoleProgram(MakepatchExePath(), args);
        if (c.link)
            RemoveFolderLink(patch + "\\lnk");
        std::vector<std::string> lines = Lines(run.out);
        EXPECT_EQ(c.failures ? 1 : 0, run.exit_code) << run.out << run.err;
        EXPECT_EQ(c.failures, CountStarting(lines, "will fail: ")) << run.out;
        if (!c.named.empty()) {
            EXPECT_EQ(1, CountStarting(lines, "will fail: " + c.named + ": ")) << run.out;
        }
        EXPECT_EQ(std::string::npos, run.out.find("x.txt")) << "looked into a failed folder";
        EXPECT_EQ(std::string::npos, run.out.find("inside")) << "followed the link";
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(0, lines.back().compare(0, 7, "check: ")) << run.out;
    }
}

// What a patch cannot carry from the new installation is reported with exit
// code 1: a link (never followed, so not written), and a file or a folder
// where the old installation has the other kind (written, but the update
// cannot replace the old one).
TEST(MakePatch, MakeReportsWhatThePatchCannotCarry)
{
    struct Case {
        const char* what;
        const char* old_folder;  // made in OLD, or null
        const char* old_file;    // written in OLD, or null
        const char* new_folder;  // made in NEW, or null
        const char* new_file;    // written in NEW, or null
        bool link;               // NEW\lnk links to a folder of files outside
        std::string reported;    // start of the one "will fail" line
        const char* written;     // what PATCH holds of it, or null
    } cases[] = {
        {"link", nullptr, nullptr, nullptr, nullptr, true,
         "will fail: lnk\\: a link or other reparse point", nullptr},
        {"file where a folder was", "x", nullptr, nullptr, "x", false,
         "will fail: x: a file where the old installation has a folder", "x"},
        {"folder where a file was", nullptr, "x", "x", nullptr, false,
         "will fail: x\\: a folder where the old installation has a file", "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ASSERT_TRUE(WriteFileText(dir / "old\\a.txt", "old"));
        ASSERT_TRUE(WriteFileText(dir / "new\\a.txt", "new"));
        if (c.old_folder) {
            ASSERT_TRUE(MakeFolders(dir / "old\\" + c.old_folder));
        }
        if (c.old_file) {
            ASSERT_TRUE(WriteFileText(dir / "old\\" + c.old_file, "old"));
        }
        if (c.new_folder) {
            ASSERT_TRUE(MakeFolders(dir / "new\\" + c.new_folder));
        }
        if (c.new_file) {
            ASSERT_TRUE(WriteFileText(dir / "new\\" + c.new_file, "new"));
        }
        if (c.link) {
            ASSERT_TRUE(WriteFileText(dir / "behind\\inside.txt", "data"));
            ASSERT_TRUE(MakeFolderLink(dir / "behind", dir / "new\\lnk"));
        }
        ConsoleRun run =
            RunConsoleProgram(MakepatchExePath(), {dir / "old", dir / "new", dir / "patch"});
        if (c.link)
            RemoveFolderLink(dir / "new\\lnk");
        std::vector<std::string> lines = Lines(run.out);
        EXPECT_EQ(1, run.exit_code) << run.out << run.err;
        EXPECT_EQ(1, CountStarting(lines, "will fail: ")) << run.out;
        EXPECT_EQ(1, CountStarting(lines, c.reported)) << run.out;
        std::map<std::string, std::string> patch = TreeOf(dir / "patch");
        EXPECT_EQ("new", patch["a.txt"]);
        EXPECT_EQ(c.written ? 2u : 1u, patch.size()) << "followed the link";
        EXPECT_EQ(std::string::npos, run.out.find("inside")) << "followed the link";
    }
}

// Errors: exit code 2, a message that names the cause, and the patch folder
// as it was before (missing, empty, or with its own content): nothing
// half-written.
TEST(MakePatch, ErrorsEndWithCodeTwoAndLeaveThePatchFolderAsItWas)
{
    enum { Missing, Empty, Holding };
    struct Case {
        const char* what;
        std::vector<std::string> args;  // OLD, NEW and PATCH at the start stand for the folders
        int patch_before;
        bool hold;                  // NEW\zz.dat held open without sharing during the run
        std::string message;        // start of the first line on standard error
        bool system_message;        // the line ends with the system's message after ": "
    } cases[] = {
        {"no arguments", {}, Missing, false, "usage: makepatch", false},
        {"unknown option", {"--all", "OLD", "NEW", "PATCH"}, Missing, false,
         "makepatch: unknown option --all", false},
        {"check without a patch", {"--check"}, Missing, false, "usage: makepatch", false},
        {"one argument too many", {"OLD", "NEW", "PATCH", "C:\\x", "y"}, Missing, false,
         "usage: makepatch", false},
        {"patch not empty", {"OLD", "NEW", "PATCH"}, Holding, false,
         "makepatch: the patch folder must be missing or empty: PATCH", false},
        {"patch inside NEW", {"OLD", "NEW", "NEW\\patch"}, Missing, false,
         "makepatch: the patch folder must lie outside both installations: NEW\\patch", false},
        {"OLD missing", {"OLD\\nope", "NEW", "PATCH"}, Missing, false,
         "makepatch: no folder OLD\\nope: ", true},
        {"check of a missing patch", {"--check", "PATCH"}, Missing, false,
         "makepatch: no folder PATCH: ", true},
        {"unreadable file, patch missing", {"OLD", "NEW", "PATCH"}, Missing, true,
         "makepatch: cannot read NEW\\zz.dat: ", true},
        {"unreadable file, patch empty", {"OLD", "NEW", "PATCH"}, Empty, true,
         "makepatch: cannot read NEW\\zz.dat: ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::map<std::string, std::string> roots = {
            {"OLD", dir / "old"}, {"NEW", dir / "new"}, {"PATCH", dir / "patch"}};
        auto expand = [&roots](std::string text) {
            for (const auto& root : roots)
                for (size_t at; (at = text.find(root.first)) != std::string::npos;)
                    text.replace(at, root.first.size(), root.second);
            return text;
        };
        ASSERT_TRUE(WriteFileText(dir / "old\\a.dat", "old a"));
        // Written before zz.dat in the usual listing order, so that there is
        // something to take back.
        ASSERT_TRUE(WriteFileText(dir / "new\\a.dat", "new a"));
        ASSERT_TRUE(WriteFileText(dir / "new\\b\\b.dat", "new b"));
        ASSERT_TRUE(WriteFileText(dir / "new\\zz.dat", "new zz"));
        if (c.patch_before != Missing) {
            ASSERT_TRUE(MakeFolders(dir / "patch"));
        }
        if (c.patch_before == Holding) {
            ASSERT_TRUE(WriteFileText(dir / "patch\\keep.txt", "keep"));
        }
        std::map<std::string, std::string> patch_before = TreeOf(dir / "patch");
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.hold) {
            held = CreateFileA((dir / "new\\zz.dat").c_str(), GENERIC_READ, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, held) << GetLastError();
        }
        std::vector<std::string> args;
        for (const std::string& arg : c.args)
            args.push_back(expand(arg));
        ConsoleRun run = RunConsoleProgram(MakepatchExePath(), args);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);

        EXPECT_EQ(2, run.exit_code) << run.out << run.err;
        std::vector<std::string> lines = Lines(run.err);
        ASSERT_FALSE(lines.empty());
        std::string message = expand(c.message);
        EXPECT_EQ(message, lines[0].substr(0, message.size()));
        if (c.system_message) {
            EXPECT_GT(lines[0].size(), message.size()) << "no system message";
        }
        EXPECT_EQ(c.patch_before != Missing, FolderExists(dir / "patch"));
        EXPECT_EQ(patch_before, TreeOf(dir / "patch"));
    }
}

// Output is in the console's code page, not the system's: in a command
// prompt switched to code page 437 "é" shows as itself, "表" as the
// stand-in, and that name is counted.
TEST(MakePatch, OutputFollowsTheConsoleCodePage)
{
    TempDir dir;
    ASSERT_TRUE(MakeFolders(dir / "old"));
    ASSERT_TRUE(WriteFileText(dir / "new\\表.txt", "data"));
    ASSERT_TRUE(MakeWide(dir / "new", L"caf\u00e9.txt"));
    std::string script = "@chcp 437 >nul\r\n@\"" + MakepatchExePath() + "\" \"" + dir / "old" +
                         "\" \"" + dir / "new" + "\" \"" + dir / "patch" +
                         "\"\r\n@exit %ERRORLEVEL%\r\n";
    ASSERT_TRUE(WriteFileText(dir / "run.bat", script));
    char cmd[MAX_PATH];
    GetSystemDirectoryA(cmd, MAX_PATH);
    ConsoleRun run = RunConsoleProgram(std::string(cmd) + "\\cmd.exe", {"/c", dir / "run.bat"},
                                       CREATE_NEW_CONSOLE);

    EXPECT_EQ(1, run.exit_code) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(5u, lines.size()) << run.out;
    std::sort(lines.begin(), lines.begin() + 2);
    EXPECT_EQ("new     ?.txt", lines[0]);
    EXPECT_EQ("new     caf\x82.txt", lines[1]);
    EXPECT_EQ("will fail: caf\x82.txt: the name cannot be written in code page 932", lines[2]);
    EXPECT_EQ(std::string("check: 1 file to copy, 1 entry will fail under ") + DefaultInstallDir +
                  " (1 name shown with ? for characters that code page 437 cannot show)",
              lines[4]);
}
