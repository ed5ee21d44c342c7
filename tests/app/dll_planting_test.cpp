// update.exe started from a folder where someone has put DLLs under the names
// of system DLLs and of those the system libraries pull in, with Wine told
// to prefer such DLLs to its own, as Windows searches a program's folder
// first: neither the warning, nor a whole update, nor the folder chooser
// loads any of them.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/updater_process.h"

// The DLLs planted: those that user32, gdi32, advapi32, comdlg32 and shell32
// pull in, and those five themselves (the program loads them on first use).
static const char* const Planted[] = {
    "version", "imm32",    "uxtheme", "dwmapi",  "comctl32", "winmm",    "msimg32",
    "setupapi", "userenv", "wtsapi32", "netapi32", "secur32", "oleacc",   "dbghelp",
    "iphlpapi", "wintrust", "crypt32", "shlwapi", "ole32",    "oleaut32", "propsys",
    "shcore",  "sspicli",  "user32",  "gdi32",   "advapi32", "comdlg32", "shell32",
};

// The programs started: update.exe, and the same program built to restrict
// the search as a system without SetDefaultDllDirectories does (XP SP1 to 7
// without update 2533623: SetDllDirectoryA("") alone, no load
// configuration), where loading the system DLLs with
// LOAD_WITH_ALTERED_SEARCH_PATH is what keeps the DLLs they import out of the
// program's folder. There a DLL loaded by name while the program runs is
// still searched for in the program's folder first. Wine's own libraries
// load some DLLs so (WINEDEBUG=+loaddll shows them looked up in the
// program's folder): ole32, comctl32 and msimg32 even for update.exe, whose
// default DLL directories Wine's internal loads ignore (Windows applies them
// to every load of the process), and with SetDllDirectoryA("") alone also
// uxtheme, which Wine's X11 driver starts once a window shows, and imm32,
// which Wine's user32 loads by name (Wine then takes its own builtin copies
// today). They are left unplanted for that program: what it shows is the
// system DLLs' own imports, and that a DLL loaded by name is still found
// beside it.
static const char* const WineRunTimeLoads[] = {"uxtheme", "msimg32", "imm32", "ole32", "comctl32",
                                               nullptr};
// by_name: a DLL loaded by its bare name while the program runs (as a system
// DLL may) is found in the program's folder.
static const struct Program {
    const char* file;
    const char* const* unplanted;
    bool by_name;
} Programs[] = {
    {"update.exe", nullptr, false},
    {"update_without_default_dirs.exe", WineRunTimeLoads, true},
};

// Has the running process load name, by its bare name, on a thread of its
// own, as a system DLL loads one while it runs. (kernel32 lies at the same
// address in every process of a session.)
static bool LoadByName(HANDLE process, const char* name)
{
    size_t size = strlen(name) + 1;
    void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(process, remote, name, size, nullptr))
        return false;
    FARPROC load = GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA");
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, (LPTHREAD_START_ROUTINE)(void*)load,
                                       remote, 0, nullptr);
    if (!thread)
        return false;
    bool ended = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

static bool Unplanted(const Program& program, const char* name)
{
    for (const char* const* p = program.unplanted; p && *p; p++)
        if (strcmp(*p, name) == 0)
            return true;
    return false;
}

class DllPlanting : public testing::Test {
protected:
    void TearDown() override { EraseInstallDir(); }

    // Puts the program and the planted DLLs into bin.
    void Plant(const Program& program)
    {
        ASSERT_TRUE(MakeFolders(bin));
        ASSERT_TRUE(MakeFolders(inst));
        std::string built = UpdateExePath();
        built = built.substr(0, built.find_last_of('\\') + 1) + program.file;
        ASSERT_TRUE(CopyFileA(built.c_str(), exe.c_str(), FALSE)) << built << ": " << GetLastError();
        std::string overrides;
        for (const char* name : Planted) {
            if (Unplanted(program, name))
                continue;
            std::string copy = bin + "\\" + name + ".dll";
            ASSERT_TRUE(CopyFileA(BesideTestProgram("planted_dll.dll").c_str(), copy.c_str(), FALSE))
                << copy << ": " << GetLastError();
            overrides += std::string(overrides.empty() ? "" : ",") + name;
        }
        ASSERT_TRUE(CopyFileA(BesideTestProgram("planted_dll.dll").c_str(),
                              (bin + "\\planted_dll.dll").c_str(), FALSE));
        environment = EnvironmentWith("WINEDLLOVERRIDES", "mscoree,mshtml=;" + overrides + "=n,b");
    }

    // What the planted DLLs recorded: "" when none was loaded.
    std::string Loaded() { return ReadFileText(bin + "\\planted.log"); }

    TempDir dir;
    std::string bin = dir / "bin", inst = dir / "inst", exe = bin + "\\update.exe";
    std::vector<std::string> environment;
};

TEST_F(DllPlanting, ThePlantedDllRecordsItsLoading)
{
    // Else the test below could pass without meaning anything. (Under its own
    // name: this program prefers Wine's own version.dll to any other.)
    ASSERT_TRUE(MakeFolders(bin));
    std::string copy = bin + "\\planted_dll.dll";
    ASSERT_TRUE(CopyFileA(BesideTestProgram("planted_dll.dll").c_str(), copy.c_str(), FALSE));
    HMODULE planted = LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, planted) << GetLastError();
    FreeLibrary(planted);
    EXPECT_EQ("planted_dll.dll\r\n", Loaded());
}

TEST_F(DllPlanting, NoneIsLoadedOnTheWarningTheUpdateOrTheChooser)
{
    for (const Program& program : Programs) {
        SCOPED_TRACE(program.file);
        Plant(program);
        EraseInstallDir();
        UpdaterProcess warned;
        ASSERT_TRUE(warned.Start(exe, bin, &environment)) << GetLastError();
        HWND box = warned.WaitMessageBox();
        ASSERT_NE(nullptr, box) << "no warning box";
        EXPECT_EQ("", Loaded()) << "on the warning";
        // Where the search is not restricted to the system folder, a DLL
        // loaded by name is still taken from the program's folder.
        ASSERT_TRUE(LoadByName(warned.process(), "planted_dll.dll")) << GetLastError();
        EXPECT_EQ(program.by_name ? "planted_dll.dll\r\n" : "", Loaded()) << "loaded by name";
        DeleteFileA((bin + "\\planted.log").c_str());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0, warned.WaitExit());

        // The program's folder is also the current folder, whose "patch" it copies.
        ASSERT_TRUE(WriteFileText(bin + "\\patch\\sub\\a.dat", "new a"));
        ASSERT_TRUE(StoreInstallDir(inst + "\\"));
        UpdaterProcess updater;
        ASSERT_TRUE(updater.Start(exe, bin, &environment)) << GetLastError();
        ASSERT_NE(nullptr, updater.WaitDialog()) << "no dialog";
        updater.Command(IDC_START);
        ASSERT_TRUE(updater.WaitRunEnd());
        EXPECT_EQ("new a", ReadFileText(inst + "\\sub\\a.dat"));
        EXPECT_EQ("", Loaded()) << "on the update";

        updater.Command(IDC_BROWSE);
        HWND chooser = updater.WaitOtherWindow();
        ASSERT_NE(nullptr, chooser) << "no folder chooser";
        PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
        updater.Command(IDC_QUIT);
        EXPECT_NE(-1, updater.WaitExit());
        EXPECT_EQ("", Loaded()) << "on the chooser";
        RemoveTreeForTest(bin);
    }
}

// update.exe under the Windows versions that Wine reports for it by name:
// on Windows 2000, where DLL redirection would load the DLLs beside it, an
// update.exe.local file or folder ends it with the warning before any DLL
// is loaded and before anything is copied; on Windows 98 an update copies
// each file straight onto its target and leaves nothing else.
TEST_F(DllPlanting, RedirectionFileEndsTheProgramAndWindows98CopiesInPlace)
{
    static const char VersionKey[] = "Software\\Wine\\AppDefaults\\update.exe";
    struct Row {
        const char* version;
        const char* local;  // "file", "folder" or none
    } rows[] = {{"win2k", "file"}, {"win2k", "folder"}, {"win98", nullptr}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.version) + " " + (row.local ? row.local : ""));
        Plant(Programs[0]);
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, VersionKey, 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
        RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE*)row.version, strlen(row.version) + 1);
        RegCloseKey(key);
        std::string local = exe + ".local";
        ASSERT_TRUE(!row.local || (strcmp(row.local, "file") == 0 ? WriteFileText(local, "")
                                                                  : MakeFolders(local)));
        ASSERT_TRUE(WriteFileText(bin + "\\patch\\a.dat", "new") && WriteFileText(inst + "\\a.dat", "old"));
        ASSERT_TRUE(StoreInstallDir(inst + "\\"));
        UpdaterProcess updater;
        ASSERT_TRUE(updater.Start(exe, bin, &environment)) << GetLastError();
        if (row.local) {
            HWND box = updater.WaitMessageBox();
            ASSERT_NE(nullptr, box) << "no warning box";
            std::string text = updater.Text(0xFFFF, box);
            EXPECT_EQ(0u, text.find(local + " があるため、アップデートを中止しました。")) << text;
            EXPECT_EQ(nullptr, updater.FindWindowOfProcess("Pelto アップデーター", false));
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(1, updater.WaitExit());
        } else {
            ASSERT_NE(nullptr, updater.WaitDialog()) << "no dialog";
            updater.Command(IDC_START);
            ASSERT_TRUE(updater.WaitRunEnd());
            updater.Command(IDC_QUIT);
            EXPECT_NE(-1, updater.WaitExit());
        }
        RegDeleteKeyA(HKEY_CURRENT_USER, VersionKey);
        EXPECT_EQ(row.local ? "old" : "new", ReadFileText(inst + "\\a.dat"));
        EXPECT_EQ(std::vector<std::string>{"a.dat"}, FilesInWalkOrder(inst));
        EXPECT_EQ("", Loaded());
        RemoveTreeForTest(bin);
    }
}
