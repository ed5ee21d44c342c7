// update.exe started from a folder where someone has put DLLs under the names
// of system DLLs and of those the system libraries pull in, with Wine told
// to prefer such DLLs to its own, as Windows searches a program's folder
// first: neither the warning, nor a whole update, nor the folder chooser
// loads any of them.
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

class DllPlanting : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeFolders(bin));
        ASSERT_TRUE(MakeFolders(inst));
        ASSERT_TRUE(CopyFileA(UpdateExePath().c_str(), exe.c_str(), FALSE)) << GetLastError();
        std::string overrides;
        for (const char* name : Planted) {
            std::string copy = bin + "\\" + name + ".dll";
            ASSERT_TRUE(CopyFileA(BesideTestProgram("planted_dll.dll").c_str(), copy.c_str(), FALSE))
                << copy << ": " << GetLastError();
            overrides += std::string(overrides.empty() ? "" : ",") + name;
        }
        environment = EnvironmentWith("WINEDLLOVERRIDES", "mscoree,mshtml=;" + overrides + "=n,b");
    }
    void TearDown() override { EraseInstallDir(); }

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
    std::string copy = bin + "\\planted_dll.dll";
    ASSERT_TRUE(CopyFileA(BesideTestProgram("planted_dll.dll").c_str(), copy.c_str(), FALSE));
    HMODULE planted = LoadLibraryA(copy.c_str());
    ASSERT_NE(nullptr, planted) << GetLastError();
    FreeLibrary(planted);
    EXPECT_EQ("planted_dll.dll\r\n", Loaded());
}

TEST_F(DllPlanting, NoneIsLoadedOnTheWarningTheUpdateOrTheChooser)
{
    EraseInstallDir();
    UpdaterProcess warned;
    ASSERT_TRUE(warned.Start(exe, bin, &environment)) << GetLastError();
    HWND box = warned.WaitMessageBox();
    ASSERT_NE(nullptr, box) << "no warning box";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0, warned.WaitExit());
    EXPECT_EQ("", Loaded()) << "on the warning";

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
}
