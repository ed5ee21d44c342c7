#include "toolkit/files/choosers.h"

#include <string.h>

#include <commctrl.h>
#include <commdlg.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/dialog_driver.h"
#include "tests/support/import_hook.h"
#include "tests/support/temp_dir.h"
#include "toolkit/system/registry.h"

static const char TestRoot[] = "Software\\UpdateToolkitTests";
static const char AppKey[] = "UpdateToolkitTests\\Choosers";
static const char Filter[] = "データ (*.dat)\0*.dat\0すべて (*.*)\0*.*\0";

static std::string StoredText(const char* name)
{
    char buf[1024] = "";
    SelectSoftwareRegKey(AppKey);
    return ReadRegText(name, buf, sizeof buf) == 0 ? buf : "<missing>";
}

// Each test starts without the test key and with empty defaults, and leaves
// the current folder as it found it (a file chooser may change it).
class ChoosersTest : public testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
        GetCurrentDirectoryA(sizeof cwd, cwd);
        SetChooserDefDir("", 0);
        SetChooserDefExt("");
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(cwd);
        RegDeleteTreeA(HKEY_CURRENT_USER, TestRoot);
    }

    char cwd[MAX_PATH];
    TempDir dir;
};

TEST_F(ChoosersTest, DefaultFolderCutsAtTheLastRealBackslash)
{
    SetChooserDefDir("C:\\data\\save\\file.dat", 1);
    EXPECT_STREQ("C:\\data\\save", ChooserDefDir);
    SetChooserDefDir("C:\\file.dat", 1);
    EXPECT_STREQ("C:", ChooserDefDir);
    SetChooserDefDir("file.dat", 1);
    EXPECT_STREQ("file.dat", ChooserDefDir);
    SetChooserDefDir("C:\\data\\file.dat", 0);
    EXPECT_STREQ("C:\\data\\file.dat", ChooserDefDir);
    // The second byte of 表 is 0x5C, and no backslash.
    SetChooserDefDir("C:\\data\\表", 1);
    EXPECT_STREQ("C:\\data", ChooserDefDir);
    SetChooserDefDir("C:\\表\\表", 1);
    EXPECT_STREQ("C:\\表", ChooserDefDir);
    // Its own buffer as the path: one level up.
    SetChooserDefDir(ChooserDefDir, 1);
    EXPECT_STREQ("C:", ChooserDefDir);
}

TEST_F(ChoosersTest, DefaultsAreCutToTheirBuffersOnCharacterBoundaries)
{
    std::string wide;
    for (int i = 0; i < 200; i++)
        wide += "表";  // 400 bytes
    SetChooserDefDir(("C" + wide).c_str(), 0);
    EXPECT_EQ("C" + wide.substr(0, 258), std::string(ChooserDefDir));
    SetChooserDefDir(wide.c_str(), 0);
    EXPECT_EQ(wide.substr(0, 258), std::string(ChooserDefDir));  // 259 would split 表
    EXPECT_EQ(0, ChooserDefDir[259]);

    // A long file path with the cut flag keeps a real folder of it.
    std::string folder = "C:\\" + std::string(250, 'd');
    SetChooserDefDir((folder + "\\" + std::string(20, 'f')).c_str(), 1);
    EXPECT_EQ(folder, std::string(ChooserDefDir));

    SetChooserDefExt("txt");
    EXPECT_STREQ("txt", ChooserDefExt);
    SetChooserDefExt("abcdefghij");
    EXPECT_STREQ("abcdefg", ChooserDefExt);
    SetChooserDefExt("x表表表表");  // 9 bytes
    EXPECT_STREQ("x表表表", ChooserDefExt);
}

TEST_F(ChoosersTest, DefaultsRoundTripThroughTheRegistry)
{
    // Nothing stored yet: both buffers stay.
    SetChooserDefDir("C:\\keep", 0);
    SetChooserDefExt("kep");
    LoadChooserDefaults(AppKey);
    EXPECT_STREQ("C:\\keep", ChooserDefDir);
    EXPECT_STREQ("kep", ChooserDefExt);

    SetChooserDefDir("C:\\表\\データ", 0);
    SetChooserDefExt("dat");
    SaveChooserDefaults(AppKey);
    EXPECT_EQ("C:\\表\\データ", StoredText("defdir"));
    EXPECT_EQ("dat", StoredText("defext"));
    SetChooserDefDir("", 0);
    SetChooserDefExt("");
    LoadChooserDefaults(AppKey);
    EXPECT_STREQ("C:\\表\\データ", ChooserDefDir);
    EXPECT_STREQ("dat", ChooserDefExt);

    // Stored texts longer than the buffers are cut as the setters cut; one
    // past the longest that is read at all leaves its buffer.
    std::string wide;
    for (int i = 0; i < 150; i++)
        wide += "表";
    SelectSoftwareRegKey(AppKey);
    WriteRegText("defdir", wide.c_str());
    WriteRegText("defext", "x表表表表");
    LoadChooserDefaults(AppKey);
    EXPECT_EQ(wide.substr(0, 258), std::string(ChooserDefDir));
    EXPECT_STREQ("x表表表", ChooserDefExt);
    WriteRegText("defdir", std::string(1024, 'd').c_str());
    LoadChooserDefaults(AppKey);
    EXPECT_EQ(wide.substr(0, 258), std::string(ChooserDefDir));
}

TEST_F(ChoosersTest, OpenChooserStartsAtTheDefaultFolderAndRefusesAMissingFile)
{
    std::string folder = dir / "表";
    ASSERT_TRUE(WriteFileText(folder + "\\表.dat", "x"));
    SetChooserDefDir((folder + "\\表.dat").c_str(), 1);
    ASSERT_EQ(folder, std::string(ChooserDefDir));

    std::string start_folder, start_name, box_text;
    bool read_only_box = true, refused = false;
    DialogDriver driver([&](DialogDriver& d) {
        HWND dialog = d.WaitDialog();
        if (!dialog)
            return;
        start_folder = AskText(dialog, CDM_GETFOLDERPATH);
        start_name = AskText(dialog, CDM_GETSPEC);
        read_only_box = IsWindowVisible(GetDlgItem(dialog, chx1)) != FALSE;
        TypeInto(dialog, cmb13, "missing.dat");
        Press(dialog, IDOK);
        HWND box = d.WaitDialog(dialog);
        if (!box)
            return;
        box_text = ControlText(box, 0xFFFF);
        Press(box, IDOK);
        refused = d.WaitGone(box) && IsWindowVisible(dialog);
        TypeInto(dialog, cmb13, "表.dat");
        Press(dialog, IDOK);
    });
    char* got = ChooseOpenFile(nullptr, Filter);
    driver.Finish();
    EXPECT_EQ(0, driver.forced_closes);
    EXPECT_EQ(folder, start_folder);
    EXPECT_EQ("", start_name);
    EXPECT_FALSE(read_only_box);
    EXPECT_TRUE(refused) << "no box for the missing file: " << box_text;
    ASSERT_EQ(OpenFileResult, got);
    EXPECT_EQ(folder + "\\表.dat", std::string(got));

    // The name field starts empty again; a cancel gives null.
    DialogDriver cancel([&](DialogDriver& d) {
        HWND dialog = d.WaitDialog();
        start_name = dialog ? AskText(dialog, CDM_GETSPEC) : "<no dialog>";
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(nullptr, ChooseOpenFile(nullptr, Filter));
    cancel.Finish();
    EXPECT_EQ("", start_name);
}

TEST_F(ChoosersTest, SaveChooserAddsTheDefaultExtensionAndReplacesWithoutAsking)
{
    ASSERT_TRUE(WriteFileText(dir / "old.txt", "x"));
    SetChooserDefDir(dir.path().c_str(), 0);
    SetChooserDefExt("txt");
    strcpy(OpenFileResult, "open result");

    // Each run types name and presses OK; records whether the chooser closed
    // with no question asked.
    std::string name;
    bool closed = false, read_only_box = true;
    auto type_and_save = [&](DialogDriver& d) {
        HWND dialog = d.WaitDialog();
        if (!dialog)
            return;
        read_only_box = IsWindowVisible(GetDlgItem(dialog, chx1)) != FALSE;
        TypeInto(dialog, cmb13, name);
        Press(dialog, IDOK);
        closed = d.WaitGone(dialog);
    };

    name = "report";
    DialogDriver first(type_and_save);
    char* got = ChooseSaveFile(nullptr, "テキスト\0*.txt\0");
    first.Finish();
    ASSERT_EQ(SaveFileResult, got);
    EXPECT_EQ(dir / "report.txt", std::string(got));
    EXPECT_FALSE(read_only_box);

    name = "old.txt";
    DialogDriver second(type_and_save);
    got = ChooseSaveFile(nullptr, "テキスト\0*.txt\0");
    second.Finish();
    EXPECT_TRUE(closed) << "the chooser asked before replacing";
    EXPECT_EQ(0, second.forced_closes);
    ASSERT_EQ(SaveFileResult, got);
    EXPECT_EQ(dir / "old.txt", std::string(got));
    EXPECT_STREQ("open result", OpenFileResult);
}

// The folder browser's tree, its selected item's text, and a click on the
// selected item's child called name.
static HWND TreeOf(HWND dialog) { return FindWindowExA(dialog, nullptr, WC_TREEVIEWA, nullptr); }

static std::string ItemText(HWND tree, HTREEITEM item)
{
    char text[MAX_PATH] = "";
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
    return text;
}

static bool SelectChild(HWND tree, const std::string& name)
{
    HTREEITEM caret = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)caret);
    for (HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)caret);
         item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
        if (ItemText(tree, item) == name)
            return SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item) != 0;
    }
    return false;
}

TEST_F(ChoosersTest, FolderChooserStartsAtTheBuffersFolderAndWritesOnlyAChoice)
{
    std::string start = dir / "表";
    ASSERT_TRUE(MakeFolders(start + "\\sub"));
    char path[1024];
    memset(path, 0x5A, sizeof path);
    strcpy(path, start.c_str());
    char before[1024];
    memcpy(before, path, sizeof path);

    // The emulated 32-bit Wine's browser now and then opens with nothing
    // selected, not even its root, and stays so: that opening says nothing of
    // the chooser (which, asking for no folder, would leave the root
    // selected), so it is tried once more.
    std::string selected;
    for (int attempt = 0; attempt < 2 && selected.empty(); attempt++) {
        DialogDriver cancel([&](DialogDriver& d) {
            HWND dialog = d.WaitDialog();
            selected = FolderBrowserSelection(dialog, "表");
            Press(dialog, IDCANCEL);
        });
        EXPECT_EQ(0, ChooseFolder(nullptr, path));
        cancel.Finish();
    }
    EXPECT_EQ("表", selected);
    EXPECT_EQ(0, memcmp(before, path, sizeof path)) << "cancel changed the buffer";

    bool clicked = false;
    DialogDriver choose([&](DialogDriver& d) {
        HWND dialog = d.WaitDialog();
        clicked = dialog && FolderBrowserSelection(dialog, "表") == "表" &&
                  SelectChild(TreeOf(dialog), "sub");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(1, ChooseFolder(nullptr, path));
    choose.Finish();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(start + "\\sub", std::string(path));
    EXPECT_EQ(0, memcmp(before + 260, path + 260, sizeof path - 260));
}

// The folder chooser's calls of COM and the browser, in order: 'I'
// CoInitialize, 'B' SHBrowseForFolderA, 'U' CoUninitialize.
static std::string ComCalls;
static HRESULT(WINAPI* RealCoInitialize)(void*);
static void(WINAPI* RealCoUninitialize)();
static LPITEMIDLIST(WINAPI* RealBrowse)(BROWSEINFOA*);
static HRESULT WINAPI RecordedCoInitialize(void* reserved)
{
    ComCalls += 'I';
    return RealCoInitialize(reserved);
}
static void WINAPI RecordedCoUninitialize()
{
    ComCalls += 'U';
    RealCoUninitialize();
}
static LPITEMIDLIST WINAPI RecordedBrowse(BROWSEINFOA* info)
{
    ComCalls += 'B';
    return RealBrowse(info);
}

TEST_F(ChoosersTest, FolderChooserNeitherReadsNorWritesPastAPathsSize)
{
    // The browser needs COM on the thread, asked for before and given back after.
    ASSERT_TRUE(HookImport("ole32.dll", "CoInitialize", (void*)RecordedCoInitialize,
                           (void**)&RealCoInitialize) &&
                HookImport("ole32.dll", "CoUninitialize", (void*)RecordedCoUninitialize,
                           (void**)&RealCoUninitialize) &&
                HookImport("shell32.dll", "SHBrowseForFolderA", (void*)RecordedBrowse,
                           (void**)&RealBrowse));
    ComCalls.clear();

    // An installation folder longer than the chooser's 260 bytes.
    char path[1024];
    memset(path, 0x5A, sizeof path);
    std::string text = "C:\\" + std::string(400, 'L');
    strcpy(path, text.c_str());
    char before[1024];
    memcpy(before, path, sizeof path);

    DialogDriver cancel([&](DialogDriver& d) { Press(d.WaitDialog(), IDCANCEL); });
    EXPECT_EQ(0, ChooseFolder(nullptr, path));
    cancel.Finish();
    EXPECT_EQ(0, memcmp(before, path, sizeof path));

    std::string target = dir.path();
    bool selected = false;
    DialogDriver choose([&](DialogDriver& d) {
        HWND dialog = d.WaitDialog();
        selected = SelectInFolderBrowser(dialog, target);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(1, ChooseFolder(nullptr, path));
    choose.Finish();
    RestoreImport((void*)RecordedCoInitialize, (void*)RealCoInitialize);
    RestoreImport((void*)RecordedCoUninitialize, (void*)RealCoUninitialize);
    RestoreImport((void*)RecordedBrowse, (void*)RealBrowse);
    EXPECT_EQ("IBUIBU", ComCalls);
    ASSERT_TRUE(selected);
    EXPECT_EQ(target, std::string(path));
    EXPECT_EQ(0, memcmp(before + 260, path + 260, sizeof path - 260));
}
