#include "app/updater_dialog.h"

#include <commctrl.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/update_state.h"
#include "res/resource.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/temp_dir.h"

// Reads the extended dialog template 101 of this program (linked with the
// updater's resources) as the dialog manager will.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : at_(data) {}
    WORD Word() { WORD w; memcpy(&w, at_, 2); at_ += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, at_, 4); at_ += 4; return d; }
    short Short() { return (short)Word(); }
    BYTE Byte() { return *at_++; }
    // A text, or an ordinal given as 0xFFFF and a number, in code page 932.
    std::string Text()
    {
        std::wstring wide;
        WORD w = Word();
        if (w == 0xFFFF)
            return "#" + std::to_string(Word());
        for (; w; w = Word())
            wide += (wchar_t)w;
        char buf[512] = "";
        WideCharToMultiByte(932, 0, wide.c_str(), -1, buf, sizeof buf, nullptr, nullptr);
        return buf;
    }
    void AlignDword(const BYTE* base)
    {
        while ((at_ - base) % 4)
            at_++;
    }

private:
    const BYTE* at_;
};

struct Item {
    DWORD id, ex_style, style;
    short x, y, cx, cy;
    std::string cls, text;
};

TEST(UpdaterDialog, TemplateIsTheUpdatersDialog)
{
    HRSRC found = FindResourceExA(nullptr, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(IDD_UPDATER),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(nullptr, found) << "no Japanese dialog 101: " << GetLastError();
    const BYTE* base = (const BYTE*)LockResource(LoadResource(nullptr, found));
    TemplateReader t(base);
    EXPECT_EQ(1, t.Word());       // extended template
    EXPECT_EQ(0xFFFF, t.Word());
    t.Dword();                    // help id
    EXPECT_EQ(0u, t.Dword());     // no extended style
    EXPECT_EQ((DWORD)(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT), t.Dword());
    WORD count = t.Word();
    EXPECT_EQ(0, t.Short());
    EXPECT_EQ(0, t.Short());
    EXPECT_EQ(163, t.Short());
    EXPECT_EQ(135, t.Short());
    EXPECT_EQ("", t.Text());      // no menu
    EXPECT_EQ("", t.Text());      // no class of its own
    EXPECT_EQ("Pelto アップデーター", t.Text());
    EXPECT_EQ(9, t.Word());
    EXPECT_EQ(0, t.Word());       // weight
    EXPECT_EQ(0, t.Byte());       // not italic
    EXPECT_EQ(1, t.Byte());       // DEFAULT_CHARSET
    EXPECT_EQ("ＭＳ Ｐゴシック", t.Text());

    const DWORD child = WS_CHILD | WS_VISIBLE;
    std::vector<Item> expected = {
        {IDC_QUIT, 0, child | WS_TABSTOP | BS_PUSHBUTTON, 120, 120, 36, 12, "#128", "終了"},
        {IDC_START, 0, child | WS_TABSTOP | BS_PUSHBUTTON, 76, 120, 36, 12, "#128", "開始"},
        {IDC_LOG, WS_EX_DLGMODALFRAME,
         child | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_WANTRETURN,
         4, 36, 152, 80, "#129", ""},
        {0xFFFFFFFF, 0, child | BS_GROUPBOX, 4, 4, 152, 28, "#128", "インストールフォルダ"},
        {IDC_INSTALL_DIR, 0, child | WS_BORDER | ES_AUTOHSCROLL | ES_READONLY, 8, 16, 144, 12,
         "#129", ""},
    };
    ASSERT_EQ(expected.size(), count);
    for (const Item& want : expected) {
        t.AlignDword(base);
        Item got;
        t.Dword();  // help id
        got.ex_style = t.Dword();
        got.style = t.Dword();
        got.x = t.Short();
        got.y = t.Short();
        got.cx = t.Short();
        got.cy = t.Short();
        got.id = t.Dword();
        got.cls = t.Text();
        got.text = t.Text();
        t.Word();  // no creation data
        SCOPED_TRACE(want.id);
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.cls, got.cls);
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.style, got.style);
        EXPECT_EQ(want.ex_style, got.ex_style);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
    }
}

class UpdaterDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        memset(&UpdateState, 0, sizeof UpdateState);
        strcpy(UpdateState.install_dir, "C:\\Program Files\\表示");
        dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_UPDATER),
                                    nullptr, UpdaterDlgProc, 0);
        ASSERT_NE(nullptr, dialog) << GetLastError();
    }
    void TearDown() override
    {
        DestroyWindow(dialog);
        memset(&UpdateState, 0, sizeof UpdateState);
    }
    void Send(UINT message, WPARAM wparam = 0) { SendMessageA(dialog, message, wparam, 0); }

    HWND dialog = nullptr;
};

TEST_F(UpdaterDialogTest, ShowsTheFolderAndTurnsCommandsIntoRequests)
{
    char text[64];
    GetDlgItemTextA(dialog, IDC_INSTALL_DIR, text, sizeof text);
    EXPECT_STREQ("C:\\Program Files\\表示", text);
    EXPECT_FALSE(IsWindowVisible(dialog));  // shown by the program once placed

    // Any notification code asks for a start.
    Send(WM_COMMAND, MAKEWPARAM(IDC_START, BN_DOUBLECLICKED));
    EXPECT_EQ(StartRequested, UpdateState.phase);
    // Outside Idle, Quit, closing and Start change nothing; abort always counts.
    for (int32_t phase : {StartRequested, Copying, Finished}) {
        UpdateState.phase = phase;
        Send(WM_COMMAND, IDC_QUIT);
        Send(WM_CLOSE);
        Send(WM_COMMAND, IDC_START);
        EXPECT_EQ(phase, UpdateState.phase);
    }
    Send(WM_COMMAND, IDC_ABORT);
    EXPECT_EQ(1, UpdateState.abort_requested);
    UpdateState.phase = Idle;
    Send(WM_CLOSE);
    EXPECT_EQ(Quit, UpdateState.phase);
    UpdateState.phase = Idle;
    Send(WM_COMMAND, IDC_QUIT);
    EXPECT_EQ(Quit, UpdateState.phase);
    EXPECT_TRUE(IsWindow(dialog));  // never destroyed by its procedure
}

TEST_F(UpdaterDialogTest, BrowseReplacesTheFolderOnlyWhenOneIsChosen)
{
    TempDir target;
    DialogDriver cancel([&](DialogDriver& d) { Press(d.WaitDialog(), IDCANCEL); });
    Send(WM_COMMAND, IDC_BROWSE);
    cancel.Finish();
    char text[1024];
    GetDlgItemTextA(dialog, IDC_INSTALL_DIR, text, sizeof text);
    EXPECT_STREQ("C:\\Program Files\\表示", text);
    EXPECT_STREQ("C:\\Program Files\\表示", UpdateState.install_dir);

    bool selected = false;
    DialogDriver choose([&](DialogDriver& d) {
        HWND chooser = d.WaitDialog();
        selected = SelectInFolderBrowser(chooser, target.path());
        Press(chooser, IDOK);
    });
    Send(WM_COMMAND, IDC_BROWSE);
    choose.Finish();
    ASSERT_TRUE(selected);
    GetDlgItemTextA(dialog, IDC_INSTALL_DIR, text, sizeof text);
    EXPECT_EQ(target.path(), text);
    EXPECT_EQ(target.path(), UpdateState.install_dir);  // whole, no character dropped
}

TEST_F(UpdaterDialogTest, PositionedAtThePointWithItsFrameAroundTheClientArea)
{
    RECT window, client;
    GetClientRect(dialog, &client);
    ASSERT_TRUE(PositionDialog(dialog, 30, 40));
    GetWindowRect(dialog, &window);
    EXPECT_EQ(30, window.left);
    EXPECT_EQ(40, window.top);
    // The client area as it was, with the dialog frame on both sides and a
    // caption button's height above.
    EXPECT_EQ(client.right + 2 * GetSystemMetrics(SM_CXDLGFRAME), window.right - window.left);
    EXPECT_EQ(client.bottom + GetSystemMetrics(SM_CYSIZE) + 2 * GetSystemMetrics(SM_CYDLGFRAME),
              window.bottom - window.top);
}

TEST(ProgressBar, ResetGivesRangeStepAndPosition)
{
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&init));
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr,
                               nullptr, nullptr);
    ASSERT_NE(nullptr, bar) << GetLastError();
    SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
    SendMessageA(bar, PBM_SETPOS, 700, 0);
    EXPECT_EQ(700, ResetProgressBar(bar, 50000));  // n read as unsigned 16 bits
    PBRANGE range;
    SendMessageA(bar, PBM_GETRANGE, FALSE, (LPARAM)&range);
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(50000, range.iHigh);
    EXPECT_EQ(0, SendMessageA(bar, PBM_GETPOS, 0, 0));
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    EXPECT_EQ(1, SendMessageA(bar, PBM_GETPOS, 0, 0));
    DestroyWindow(bar);
}
