// makepatch.exe as a publisher runs it: two installations on disk, the patch
// that it writes, its report and exit code, and the update.exe of the same
// build copying that patch over the old installation.
#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "maker/console_out.h"
#include "maker/makepatch_command.h"
#include "res/resource.h"
#include "tests/support/console_process.h"
#include "tests/support/import_hook.h"
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
    // The long-path form, so that names which the ANSI calls would change
    // ("trail.", "aux.txt") are made as they are.
    std::wstring path = L"\\\\?\\" + Wide(folder) + L"\\" + name;
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

// What the system answers a make run by RunMake, where Wine cannot show it.
enum Platform {
    AsIs,
    RefusedThrice,  // an empty PATCH (made first) refuses its removal three times with a
                    // sharing violation, then the rename of the finished patch too, as
                    // while a scanner reads the new files
    RenameRefused,  // the rename refused for good with access denied
    IdsZero,        // every folder's 128-bit id and 64-bit index 0, as on some shares
    IndexesEqual,   // every folder's 64-bit index the same, as on ReFS; its 128-bit id its own
};
static Platform Answering;
static int RemovalRefusals, RenameRefusals;
static BOOL(WINAPI* RealRemoveDirectoryW)(LPCWSTR);
static BOOL(WINAPI* RealMoveFileW)(LPCWSTR, LPCWSTR);
static BOOL(WINAPI* RealFileInfo)(HANDLE, BY_HANDLE_FILE_INFORMATION*);
static BOOL(WINAPI* RealFileInfoEx)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD);
static FARPROC(WINAPI* RealGetProcAddress)(HMODULE, LPCSTR);

static BOOL WINAPI RefusedRemoveDirectoryW(LPCWSTR path)
{
    SetLastError(ERROR_SHARING_VIOLATION);
    return RemovalRefusals-- > 0 ? FALSE : RealRemoveDirectoryW(path);
}

static BOOL WINAPI RefusedMoveFileW(LPCWSTR from, LPCWSTR to)
{
    SetLastError(Answering == RenameRefused ? ERROR_ACCESS_DENIED : ERROR_SHARING_VIOLATION);
    return RenameRefusals-- > 0 ? FALSE : RealMoveFileW(from, to);
}

static BOOL WINAPI IdFileInfo(HANDLE file, BY_HANDLE_FILE_INFORMATION* info)
{
    BOOL ok = RealFileInfo(file, info);
    if (ok && (Answering == IdsZero || Answering == IndexesEqual))
        info->nFileIndexHigh = info->nFileIndexLow = Answering == IdsZero ? 0 : 7;
    return ok;
}

static BOOL WINAPI IdFileInfoEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size)
{
    BOOL ok = RealFileInfoEx(file, kind, info, size);
    if (ok && kind == FileIdInfo && Answering == IdsZero)
        memset(&((FILE_ID_INFO*)info)->FileId, 0, sizeof(FILE_ID_128));
    return ok;
}

// The maker looks GetFileInformationByHandleEx up at run time.
static FARPROC WINAPI IdGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = RealGetProcAddress(module, name);
    if (!found || IS_INTRESOURCE(name) || strcmp(name, "GetFileInformationByHandleEx") != 0)
        return found;
    RealFileInfoEx = (decltype(RealFileInfoEx))(void*)found;
    return (FARPROC)(void*)IdFileInfoEx;
}

// Runs makepatch with args: as a process when the system answers as it is,
// else its command in this process with the imports answering as platform.
static ConsoleRun RunMake(Platform platform, const std::vector<std::string>& args)
{
    if (platform == AsIs)
        return RunConsoleProgram(MakepatchExePath(), args);
    Answering = platform;
    RemovalRefusals = platform == RefusedThrice ? 3 : 0;
    RenameRefusals = platform == RefusedThrice ? 3 : platform == RenameRefused ? INT_MAX : 0;
    std::vector<std::wstring> wide = {L"makepatch"};
    for (const std::string& arg : args)
        wide.push_back(Wide(arg));
    std::vector<WCHAR*> argv;
    for (std::wstring& arg : wide)
        argv.push_back(&arg[0]);
    TempDir dir;
    HANDLE std_handles[] = {GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
    HANDLE out = CreateFileA((dir / "out").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0);
    HANDLE err = CreateFileA((dir / "err").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
    ConsoleRun run;
    if (HookImport("kernel32.dll", "RemoveDirectoryW", (void*)RefusedRemoveDirectoryW,
                   (void**)&RealRemoveDirectoryW) &&
        HookImport("kernel32.dll", "MoveFileW", (void*)RefusedMoveFileW, (void**)&RealMoveFileW) &&
        HookImport("kernel32.dll", "GetFileInformationByHandle", (void*)IdFileInfo,
                   (void**)&RealFileInfo) &&
        HookImport("kernel32.dll", "GetProcAddress", (void*)IdGetProcAddress,
                   (void**)&RealGetProcAddress)) {
        OutStart();
        run.exit_code = MakepatchCommand((int)argv.size(), argv.data());
    }
    RestoreImport((void*)RefusedRemoveDirectoryW, (void*)RealRemoveDirectoryW);
    RestoreImport((void*)RefusedMoveFileW, (void*)RealMoveFileW);
    RestoreImport((void*)IdFileInfo, (void*)RealFileInfo);
    RestoreImport((void*)IdGetProcAddress, (void*)RealGetProcAddress);
    SetStdHandle(STD_OUTPUT_HANDLE, std_handles[0]);
    SetStdHandle(STD_ERROR_HANDLE, std_handles[1]);
    CloseHandle(out);
    CloseHandle(err);
    run.out = ReadFileText(dir / "out");
    run.err = ReadFileText(dir / "err");
    return run;
}

// The round trip: the patch made from two installations, copied by the real
// updater over the old one, gives the new one but for what was excluded;
// what the new one dropped stays and was reported, a folder once.
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
        bool excluded = false;  // by a pattern: neither written nor reported
    } entries[] = {
        {"same.txt", "same", "same"},
        {"表\\ソ.dat", "old so", "new so"},  // second bytes 0x5C, same size
        {"resized.dat", "short", "longer now"},
        {"能\\keep.txt", "keep", "keep"},
        {"能\\表示\\新規.txt", nullptr, "fresh"},
        {"removed.txt", "bye", nullptr},
        {"sub\\deep\\gone.dat", "gone", nullptr},
        {"sub\\deep\\stays.dat", "stays", "stays"},
        {"gone\\a.txt", "a", nullptr},  // a dropped folder: reported once
        {"gone\\b\\c.txt", "c", nullptr},
        {"logs\\old.log", "old", nullptr, true},
        {"logs\\run\\today.log", nullptr, "today", true},
        {"save\\slot0.sav", "0", nullptr, true},
        {"save\\slot1.sav", nullptr, "1", true},
        {"save\\SLOT2.SAV", "2", "two", true},
        {"save\\keep.cfg", nullptr, "keep"},
        {"save\\slot3.sav.bak", nullptr, "bak"},  // the pattern names the whole name
        {"cache.tmp", nullptr, "tmp", true},
        {"sub\\deep\\cache.tmp", nullptr, "tmp"},  // "*" never stands for a backslash
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
    ASSERT_TRUE(MakeFolders(work + "\\patch"));  // an empty patch folder is replaced

    ConsoleRun run = RunConsoleProgram(MakepatchExePath(),
                                       {"--exclude", "logs\\", "--exclude", "save\\*.sav", "--exclude",
                                        "*.TMP", "--exclude", "*.nosuch", old_root, new_root,
                                        work + "\\patch"});
    ASSERT_EQ(0, run.exit_code) << run.out << run.err;
    EXPECT_EQ("makepatch: --exclude *.nosuch matched nothing in OLD or NEW\r\n", run.err);
    std::vector<std::string> lines = Lines(run.out);
    std::vector<std::string> expected = {
        "changed byte17.bin",
        "changed end_of_block1.bin",
        "changed start_of_block2.bin",
        "changed end_of_tail.bin",
        "new     empty\\",
        "new     empty\\inner\\",
        "changed resized.dat",
        "new     save\\keep.cfg",
        "new     save\\slot3.sav.bak",
        "new     sub\\deep\\cache.tmp",
        "changed 表\\ソ.dat",
        "new     能\\表示\\",
        "new     能\\表示\\新規.txt",
        "left in place by the update (the new installation lacks them):",
        "        gone\\",
        "        removed.txt",
        "        sub\\deep\\gone.dat",
        "longest path read from the patch: patch\\start_of_block2.bin (25 characters); unpack "
        "update.exe and patch into a folder of at most 233 characters",
        "written: 4 new and 6 changed files, 3 new folders; not written: 4 unchanged files, "
        "4 excluded entries; left in place: 2 files, 1 folder",
        std::string("check: 10 files to copy, 0 entries will fail under ") + DefaultInstallDir,
    };
    // Written lines come in listing order, which no platform promises.
    std::sort(lines.begin(), lines.begin() + std::min<size_t>(13, lines.size()));
    std::sort(expected.begin(), expected.begin() + 13);
    if (lines.size() >= 17)
        std::sort(lines.begin() + 14, lines.begin() + 17);
    EXPECT_EQ(expected, lines);
    std::map<std::string, std::string> patch = TreeOf(work + "\\patch");
    std::map<std::string, std::string> written = {
        {"empty", "<folder>"},        {"empty\\inner", "<folder>"},
        {"resized.dat", "longer now"}, {"表", "<folder>"},          {"表\\ソ.dat", "new so"},
        {"save", "<folder>"},         {"save\\keep.cfg", "keep"},   {"save\\slot3.sav.bak", "bak"},
        {"sub", "<folder>"},          {"sub\\deep", "<folder>"},    {"sub\\deep\\cache.tmp", "tmp"},
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
    EXPECT_NE(std::string::npos, log.find("[10]個のファイルをコピーしました。")) << log;
    std::map<std::string, std::string> want = TreeOf(new_root);
    for (const Entry& e : entries) {
        if (e.excluded) {
            // The installation keeps what it had.
            want.erase(e.path);
            if (e.old_data)
                want[e.path] = e.old_data;
        }
    }
    want.erase("logs\\run");
    want["removed.txt"] = "bye";
    want["sub\\deep\\gone.dat"] = "gone";
    want["gone"] = want["gone\\b"] = "<folder>";
    want["gone\\a.txt"] = "a";
    want["gone\\b\\c.txt"] = "c";
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
        std::string named;           // the path that the one failure names
        std::string unpack_dir = "";  // given with --unpack-dir
        std::string unpack = "";      // the line of the longest path read
        const char* read_only = nullptr;  // one of the files, made read-only
    } cases[] = {
        {"clean", {"a.txt", "表\\ソ.dat"}, nullptr, false, "", 0, "", "",
         "longest path read from the patch: patch\\表\\ソ.dat (13 characters); unpack update.exe "
         "and patch into a folder of at most 245 characters, on Windows 95, 98 and Me of at most "
         "243 bytes"},
        {"name outside code page 932", {"a.txt"}, L"caf\u00e9.txt", false, "", 1, "caf?.txt"},
        {"emoji, one stand-in for its pair of surrogates", {"a.txt"}, L"\U0001F600.txt", false,
         "", 1, "?.txt"},
        {"folder outside code page 932, once for all in it", {"a.txt"}, L"caf\u00e9\\", false, "",
         1, "caf?\\"},
        // Characters count, not bytes, but for Windows 95, 98 and Me: 259 characters are
        // 509 bytes here, told on one line naming the longest path.
        {"file path of 259 characters", {"a.txt", "b"}, nullptr, false, install("表", 250), 1,
         "a.txt: on Windows 95, 98 and Me"},
        {"file path of 260 characters", {"a.txt", "b"}, nullptr, false, install("表", 251), 2,
         "b: on Windows 95, 98 and Me"},
        {"file path of 259 bytes", {"a.txt"}, nullptr, false, install("表", 125), 0, ""},
        {"file path of 260 bytes", {"ab.txt"}, nullptr, false, install("表", 125), 1,
         "ab.txt: on Windows 95, 98 and Me"},
        {"path of 130 two-byte characters", {"a.txt", Repeat("あ", 65) + "\\" + Repeat("あ", 65)},
         nullptr, false, "", 1,
         Repeat("あ", 65) + "\\" + Repeat("あ", 65) + ": on Windows 95, 98 and Me"},
        {"folder path of 247 characters", {"f", "d\\"}, nullptr, false, install("i", 242), 0, ""},
        {"folder path of 248 characters", {"f", "d\\"}, nullptr, false, install("i", 243), 1,
         "d\\"},
        {"directory link", {"a.txt"}, nullptr, true, "", 1, "lnk\\"},
        {"empty patch", {}, nullptr, false, "", 1, ""},
        {"only an empty folder", {"d\\"}, nullptr, false, "", 1, ""},
        // Names that the ANSI calls cannot reach, and the updater's temporary names.
        {"trailing dot", {"a.txt"}, L"trail.", false, "", 1, "trail."},
        {"trailing space", {"a.txt"}, L"trail ", false, "", 1, "trail "},
        {"device name with an extension", {"a.txt"}, L"aux.dat", false, "", 1, "aux.dat"},
        {"device name alone", {"a.txt"}, L"con", false, "", 1, "con"},
        {"device name with a digit, in mixed case", {"a.txt"}, L"Lpt1.dat", false, "", 1,
         "Lpt1.dat"},
        {"last COM port", {"a.txt"}, L"com9", false, "", 1, "com9"},
        {"device name, spaces before the extensions", {"a.txt"}, L"nul .tar.gz", false, "", 1,
         "nul .tar.gz"},
        {"device name as a folder, once for all in it", {"a.txt"}, L"prn\\", false, "", 1,
         "prn\\"},
        {"temporary name, in upper case", {"a.txt"}, L"data.bin.~UPD", false, "", 1,
         "data.bin.~UPD"},
        {"last of the other temporary names", {"a.txt"}, L"data.bin.~up9", false, "", 1,
         "data.bin.~up9"},
        {"first of the other temporary names", {"a.txt"}, L"x.~up1", false, "", 1, "x.~up1"},
        {"read-only file, in a patch made by hand", {"a.txt", "ro.txt"}, nullptr, false, "", 1,
         "ro.txt", "", "", "ro.txt"},
        {"names near those", {"a.txt", "COM10.txt", "conx", "auxiliary.txt", "lpt.dat",
                              "a.~upd.txt", "com0x.dat", "b.~up0", "c.~upe"},
         nullptr, false, "", 0, ""},
        // Where users unpack update.exe and the patch: "<folder>\patch\deep\er\*.*".
        {"longest read is a folder's listing", {"a.txt", "deep\\er\\"}, nullptr, false, "", 0, "",
         "",
         "longest path read from the patch: patch\\deep\\er\\*.* (17 characters); unpack "
         "update.exe and patch into a folder of at most 241 characters"},
        {"unpack folder of 241 characters", {"a.txt", "deep\\er\\"}, nullptr, false, "", 0, "",
         install("u", 238)},
        {"unpack folder of 242 characters", {"a.txt", "deep\\er\\"}, nullptr, false, "", 1,
         "deep\\er\\", install("u", 239)},
        {"unpack folder too long to list the patch", {"a.txt"}, nullptr, false, "", 1,
         "the unpack folder is too long", install("u", 247)},
        {"unpack folder too long in bytes", {"a.txt", "deep\\er\\"}, nullptr, false, "", 1,
         "deep\\er\\: on Windows 95, 98 and Me", install("表", 120)},
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
        if (c.read_only) {
            ASSERT_TRUE(SetFileAttributesA((patch + "\\" + c.read_only).c_str(),
                                           FILE_ATTRIBUTE_READONLY));
        }
        std::vector<std::string> args = {"--check", patch};
        if (!c.unpack_dir.empty())
            args.insert(args.begin() + 1, {"--unpack-dir", c.unpack_dir});
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
        // The line for Windows 95, 98 and Me alone never stands in for one for every Windows.
        EXPECT_EQ(c.named.find(": on Windows 95") != std::string::npos,
                  run.out.find(": on Windows 95") != std::string::npos) << run.out;
        if (!c.unpack.empty()) {
            EXPECT_EQ(1, std::count(lines.begin(), lines.end(), c.unpack)) << run.out;
        }
        EXPECT_EQ(std::string::npos, run.out.find("x.txt")) << "looked into a failed folder";
        EXPECT_EQ(std::string::npos, run.out.find("inside")) << "followed the link";
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(0, lines.back().compare(0, 7, "check: ")) << run.out;
    }
}

// What a patch cannot carry well from the new installation is reported with
// exit code 1: a link (never followed, so not written), a file or a folder
// where the old installation has the other kind, and a changed file that is
// read-only in the old installation (written, but the update cannot replace
// the old one). Attributes never travel: a patch file is an ordinary file.
// When nothing differs, no patch is left.
TEST(MakePatch, MakeReportsWhatThePatchCannotCarry)
{
    const DWORD ReadOnly = FILE_ATTRIBUTE_READONLY;
    const DWORD NotShipped = ReadOnly | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    struct Case {
        const char* what;
        const char* old_folder;  // made in OLD, or null
        const char* old_file;    // written in OLD, or null
        const char* new_folder;  // made in NEW, or null
        const char* new_file;    // written in NEW, or null
        bool link;               // NEW\lnk links to a folder of files outside
        std::string reported;    // start of the one line that tells it; "" for none (exit code 0)
        const char* written;     // what PATCH holds of it, or null
        DWORD old_attributes = 0;      // of OLD's file
        DWORD new_attributes = 0;      // of NEW's file
        const char* new_data = "new";  // of NEW's file
        const char* new_a = "new";     // of NEW\a.txt, "old" in OLD
        Platform platform = AsIs;
    } cases[] = {
        {"link", nullptr, nullptr, nullptr, nullptr, true,
         "will fail: lnk\\: a link or other reparse point", nullptr},
        {"file where a folder was", "x", nullptr, nullptr, "x", false,
         "will fail: x: a file where the old installation has a folder", "x"},
        {"folder where a file was", nullptr, "x", "x", nullptr, false,
         "will fail: x\\: a folder where the old installation has a file", "x"},
        {"read-only and hidden in NEW", nullptr, "x", nullptr, "x", false, "", "x", 0,
         ReadOnly | FILE_ATTRIBUTE_HIDDEN},
        {"system in NEW", nullptr, "x", nullptr, "x", false, "", "x", 0, FILE_ATTRIBUTE_SYSTEM},
        {"read-only in NEW", nullptr, "x", nullptr, "x", false, "", "x", 0, ReadOnly},
        // The patch folder as real machines treat it.
        {"a scanner holding the new files a moment", nullptr, "x", nullptr, "x", false, "", "x", 0,
         0, "new", "new", RefusedThrice},
        {"ids of 0, as on a share", nullptr, "x", nullptr, "x", false, "", "x", 0, 0, "new", "new",
         IdsZero},
        {"one 64-bit index for all, as on ReFS", nullptr, "x", nullptr, "x", false, "", "x", 0, 0,
         "new", "new", IndexesEqual},
        {"read-only in OLD, changed", nullptr, "x", nullptr, "x", false,
         "will fail: x: read-only in the old installation", "x", ReadOnly},
        {"read-only in OLD, unchanged", nullptr, "x", nullptr, "x", false, "", nullptr, ReadOnly,
         0, "old"},
        {"the same files", nullptr, "x", nullptr, "x", false,
         "nothing to write: OLD and NEW hold the same files; no patch was written", nullptr, 0,
         0, "old", "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ASSERT_TRUE(WriteFileText(dir / "old\\a.txt", "old"));
        ASSERT_TRUE(WriteFileText(dir / "new\\a.txt", c.new_a));
        if (c.old_folder) {
            ASSERT_TRUE(MakeFolders(dir / "old\\" + c.old_folder));
        }
        if (c.old_file) {
            ASSERT_TRUE(WriteFileText(dir / "old\\" + c.old_file, "old"));
            ASSERT_TRUE(!c.old_attributes ||
                        SetFileAttributesA((dir / "old\\" + c.old_file).c_str(), c.old_attributes));
        }
        if (c.new_folder) {
            ASSERT_TRUE(MakeFolders(dir / "new\\" + c.new_folder));
        }
        if (c.new_file) {
            ASSERT_TRUE(WriteFileText(dir / "new\\" + c.new_file, c.new_data));
            ASSERT_TRUE(!c.new_attributes ||
                        SetFileAttributesA((dir / "new\\" + c.new_file).c_str(), c.new_attributes));
        }
        if (c.link) {
            ASSERT_TRUE(WriteFileText(dir / "behind\\inside.txt", "data"));
            ASSERT_TRUE(MakeFolderLink(dir / "behind", dir / "new\\lnk"));
        }
        if (c.platform == RefusedThrice) {
            ASSERT_TRUE(MakeFolders(dir / "patch"));
        }
        ConsoleRun run = RunMake(c.platform, {dir / "old", dir / "new", dir / "patch"});
        if (c.link)
            RemoveFolderLink(dir / "new\\lnk");
        std::vector<std::string> lines = Lines(run.out);
        bool a_written = std::string(c.new_a) != "old";
        EXPECT_EQ(c.reported.empty() ? 0 : 1, run.exit_code) << run.out << run.err;
        EXPECT_EQ(c.reported.compare(0, 11, "will fail: ") == 0 ? 1 : 0,
                  CountStarting(lines, "will fail: "))
            << run.out;
        if (!c.reported.empty()) {
            EXPECT_EQ(1, CountStarting(lines, c.reported)) << run.out;
        }
        std::map<std::string, std::string> patch = TreeOf(dir / "patch");
        if (a_written) {
            EXPECT_EQ("new", patch["a.txt"]);
        }
        EXPECT_EQ((a_written ? 1u : 0u) + (c.written ? 1u : 0u), patch.size())
            << "followed the link";
        EXPECT_EQ(a_written || c.written, FolderExists(dir / "patch")) << "a patch of nothing";
        EXPECT_FALSE(FolderExists(dir / "patch.unfinished"));
        EXPECT_EQ(std::string::npos, run.out.find("inside")) << "followed the link";
        if (c.written && c.new_file) {
            DWORD attributes = GetFileAttributesA((dir / "patch\\" + c.written).c_str());
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes);
            EXPECT_EQ(0u, attributes & NotShipped) << "attributes travelled";
        }
    }
}

// Errors: exit code 2, a message that names the cause, and the patch folder
// as it was before (missing, empty, or with its own content) and both
// installations untouched: nothing half-written. A patch folder is told
// from the installations by what the folders are, however they are reached.
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
        const char* mapped = nullptr;  // folder of the test that DRIVE maps to a drive letter
        const char* linked = nullptr;  // folder of the test that LINK links to
        const char* twin = nullptr;    // copied into NEW, named in upper case, where case counts
        bool interrupted = false;      // first a make ended while it writes; then one that ends
        Platform platform = AsIs;
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
        {"patch inside NEW spelt in another case", {"OLD", "NEW", "SPELT\\patch"}, Missing, false,
         "makepatch: the patch folder must lie outside both installations: SPELT\\patch", false},
        {"patch inside NEW through another drive letter", {"OLD", "NEW", "DRIVE\\patch"}, Missing,
         false, "makepatch: the patch folder must lie outside both installations: DRIVE\\patch",
         false, "new"},
        {"patch inside OLD through another drive letter", {"OLD", "NEW", "DRIVE\\b\\patch"},
         Missing, false,
         "makepatch: the patch folder must lie outside both installations: DRIVE\\b\\patch", false,
         "old"},
        {"patch inside NEW through a link to it", {"OLD", "NEW", "LINK\\patch"}, Missing, false,
         "makepatch: the patch folder must lie outside both installations: LINK\\patch", false,
         nullptr, "new"},
        {"patch inside NEW through a link to a folder in it", {"OLD", "NEW", "LINK\\patch"},
         Missing, false,
         "makepatch: the patch folder must lie outside both installations: LINK\\patch", false,
         nullptr, "new\\b"},
        {"empty patch folder that is NEW's folder", {"OLD", "NEW", "LINK"}, Missing, false,
         "makepatch: the patch folder must lie outside both installations: LINK", false, nullptr,
         "new\\b\\e"},
        {"names in NEW that differ only in case", {"OLD", "NEW", "PATCH"}, Missing, false,
         "makepatch: the new installation holds names that differ only in case, which Windows "
         "takes for one name: NEW\\ZZ.DAT and NEW\\zz.dat",
         false, nullptr, nullptr, "new\\zz.dat"},
        {"an unchanged name beside a changed one in another case", {"OLD", "NEW", "PATCH"}, Missing,
         false, "makepatch: the new installation holds names that differ only in case, which "
         "Windows takes for one name: NEW\\A.DAT and NEW\\a.dat",
         false, nullptr, nullptr, "old\\a.dat"},
        {"rename refused for good", {"OLD", "NEW", "PATCH"}, Empty, false,
         "makepatch: cannot rename the finished patch to PATCH: ", true, nullptr, nullptr, nullptr,
         false, RenameRefused},
        {"patch inside NEW through a link, ids of 0", {"OLD", "NEW", "LINK\\patch"}, Missing, false,
         "makepatch: the patch folder must lie outside both installations: LINK\\patch", false,
         nullptr, "new\\b", nullptr, false, IdsZero},
        {"relative installation folder", {"OLD", "NEW", "PATCH", "inst"}, Missing, false,
         "makepatch: the installation folder must be a full path", false},
        {"relative unpack folder", {"--check", "--unpack-dir", "dl", "PATCH"}, Empty, false,
         "makepatch: the unpack folder must be a full path", false},
        {"exclude without a pattern", {"--exclude"}, Missing, false,
         "makepatch: an option without its value: --exclude", false},
        {"exclude from a root", {"--exclude", "\\logs", "OLD", "NEW", "PATCH"}, Missing, false,
         "makepatch: --exclude takes a path inside ", false},
        {"patch named as an unfinished one", {"OLD", "NEW", "PATCH.unfinished"}, Missing, false,
         "makepatch: the patch folder's name must not end in .unfinished: ", false},
        {"check of what an interrupted make left", {"--check", "PATCH.unfinished"}, Missing, false,
         "makepatch: an unfinished patch, left by a make that was ended midway", false, nullptr,
         nullptr, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::map<std::string, std::string> roots = {
            {"OLD", dir / "old"},     {"NEW", dir / "new"},   {"PATCH", dir / "patch"},
            {"DRIVE", "R:"},          {"LINK", dir / "lnk"},  {"SPELT", dir / "nEw"}};
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
        ASSERT_TRUE(MakeFolders(dir / "old\\b") && MakeFolders(dir / "new\\b\\e"));
        if (c.twin) {
            std::string twin = std::string(c.twin).substr(4);  // after "new\" or "old\"
            CharUpperA(&twin[0]);
            ASSERT_TRUE(RunUnixCommand("Z:\\bin\\cp " + UnixPathOf(dir / c.twin) + " " +
                                       UnixPathOf(dir / "new") + "/" + twin));
            // The copy runs apart: awaited until it holds the whole content.
            for (int i = 0; i < 200 && TreeOf(dir / "new")[twin] != ReadFileText(dir / c.twin); i++)
                Sleep(25);
        }
        if (c.interrupted) {
            // Enough files that the make is still writing when it is ended.
            for (int i = 0; i < 500; i++) {
                char name[32];
                wsprintfA(name, "many\\f%03d.dat", i);
                ASSERT_TRUE(WriteFileText(dir / "new\\" + name, std::string(4096, 'm')));
            }
            ConsoleRun cut = RunConsoleProgram(MakepatchExePath(),
                                               {dir / "old", dir / "new", dir / "patch"}, 0,
                                               300000, [&dir] {
                                                   return FolderExists(dir / "patch.unfinished\\many");
                                               });
            ASSERT_TRUE(cut.ended) << "the make ended before it could be interrupted: " << cut.out;
            ASSERT_TRUE(FolderExists(dir / "patch.unfinished\\many"));
        }
        std::map<std::string, std::string> old_before = TreeOf(dir / "old");
        std::map<std::string, std::string> new_before = TreeOf(dir / "new");
        if (c.mapped) {
            ASSERT_TRUE(MapDrive('R', dir / c.mapped)) << "cannot map a drive letter under this Wine";
        }
        if (c.linked) {
            ASSERT_TRUE(MakeFolderLink(dir / c.linked, dir / "lnk"));
        }
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
        ConsoleRun run = RunMake(c.platform, args);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        if (c.mapped)
            UnmapDrive('R');
        if (c.linked)
            RemoveFolderLink(dir / "lnk");

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
        EXPECT_EQ(old_before, TreeOf(dir / "old"));
        EXPECT_EQ(new_before, TreeOf(dir / "new"));
        // A finished patch that could not take its name is kept whole, and said so.
        bool kept = c.platform == RenameRefused;
        EXPECT_EQ(c.interrupted || kept, FolderExists(dir / "patch.unfinished"));
        if (kept) {
            EXPECT_EQ("new zz", ReadFileText(dir / "patch.unfinished\\zz.dat"));
            EXPECT_EQ(1, CountStarting(lines, "makepatch: the finished, checked patch is kept in " +
                                                  dir / "patch.unfinished: ")) << run.err;
        }
        if (c.interrupted || kept) {
            // The next make takes the leftover away and makes the patch whole.
            run = RunConsoleProgram(MakepatchExePath(), {dir / "old", dir / "new", dir / "patch"});
            EXPECT_EQ(0, run.exit_code) << run.out << run.err;
            EXPECT_EQ(1, CountStarting(Lines(run.out), "removed the unfinished patch")) << run.out;
            EXPECT_FALSE(FolderExists(dir / "patch.unfinished"));
            EXPECT_EQ("new zz", ReadFileText(dir / "patch\\zz.dat"));
            if (c.interrupted) {
                EXPECT_EQ(std::string(4096, 'm'), ReadFileText(dir / "patch\\many\\f499.dat"));
            }
        }
    }
}

// Output is in the console's code page, not the system's: in a command
// prompt switched to code page 437 "é" shows as itself, "表" as the
// stand-in, and each name so shown is counted once, however many lines name
// it.
TEST(MakePatch, OutputFollowsTheConsoleCodePage)
{
    TempDir dir;
    ASSERT_TRUE(MakeFolders(dir / "old"));
    ASSERT_TRUE(WriteFileText(dir / "new\\表.txt", "data"));
    ASSERT_TRUE(MakeWide(dir / "new", L"caf\u00e9.txt"));
    ASSERT_TRUE(MakeWide(dir / "new", L"表caf\u00e9.txt"));  // written, then named by the check
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
    ASSERT_EQ(8u, lines.size()) << run.out;
    std::sort(lines.begin(), lines.begin() + 3);
    std::sort(lines.begin() + 3, lines.begin() + 5);
    EXPECT_EQ("new     ?.txt", lines[0]);
    EXPECT_EQ("new     ?caf\x82.txt", lines[1]);
    EXPECT_EQ("new     caf\x82.txt", lines[2]);
    EXPECT_EQ("will fail: ?caf\x82.txt: the name cannot be written in code page 932", lines[3]);
    EXPECT_EQ("will fail: caf\x82.txt: the name cannot be written in code page 932", lines[4]);
    EXPECT_EQ("longest path read from the patch: patch\\?.txt (11 characters); unpack update.exe "
              "and patch into a folder of at most 247 characters, on Windows 95, 98 and Me of at "
              "most 246 bytes",
              lines[5]);
    EXPECT_EQ(std::string("check: 1 file to copy, 2 entries will fail under ") + DefaultInstallDir +
                  " (2 names shown with ? for characters that code page 437 cannot show)",
              lines[7]);
}
