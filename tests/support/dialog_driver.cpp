#include "tests/support/dialog_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

#include "tests/support/temp_dir.h"

static BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lparam)
{
    char class_name[16] = "";
    GetClassNameA(hwnd, class_name, sizeof class_name);
    if (lstrcmpA(class_name, "#32770") == 0 && IsWindowVisible(hwnd))
        ((std::vector<HWND>*)lparam)->push_back(hwnd);
    return TRUE;
}

static std::vector<HWND> DialogsOf(DWORD thread)
{
    std::vector<HWND> dialogs;
    EnumThreadWindows(thread, CollectDialog, (LPARAM)&dialogs);
    return dialogs;
}

DialogDriver::DialogDriver(std::function<void(DialogDriver&)> script)
    : script_(std::move(script)), watched_(GetCurrentThreadId())
{
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

void DialogDriver::Finish()
{
    if (thread_) {
        WaitForSingleObject(thread_, 120000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
}

DWORD WINAPI DialogDriver::Run(void* self)
{
    DialogDriver* driver = (DialogDriver*)self;
    driver->script_(*driver);
    for (int i = 0; i < 1000; i++) {
        std::vector<HWND> left = DialogsOf(driver->watched_);
        if (left.empty())
            return 0;
        if (i >= 50) {  // 5 seconds
            for (HWND dialog : left) {
                driver->forced_closes++;
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            }
            Sleep(500);
        }
        Sleep(100);
    }
    return 0;
}

HWND DialogDriver::WaitDialog(HWND skip) const
{
    for (int i = 0; i < 200; i++) {
        for (HWND dialog : DialogsOf(watched_)) {
            if (dialog != skip)
                return dialog;
        }
        Sleep(50);
    }
    return nullptr;
}

bool DialogDriver::WaitGone(HWND dialog) const
{
    for (int i = 0; i < 200; i++) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog))
            return true;
        Sleep(50);
    }
    return false;
}

struct EditSearch {
    int id;
    HWND found;
};

static BOOL CALLBACK FindEdit(HWND hwnd, LPARAM lparam)
{
    EditSearch* search = (EditSearch*)lparam;
    char class_name[16] = "";
    GetClassNameA(hwnd, class_name, sizeof class_name);
    if (GetDlgCtrlID(hwnd) == search->id && lstrcmpiA(class_name, "Edit") == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

void TypeInto(HWND dialog, int id, const std::string& text)
{
    EditSearch search = {id, nullptr};
    EnumChildWindows(dialog, FindEdit, (LPARAM)&search);
    HWND edit = search.found ? search.found : GetDlgItem(dialog, id);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)text.c_str());
}

std::string ControlText(HWND dialog, int id)
{
    char buf[1024] = "";
    GetDlgItemTextA(dialog, id, buf, sizeof buf);
    return buf;
}

void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

std::string AskText(HWND dialog, UINT msg)
{
    char buf[1024] = "";
    SendMessageA(dialog, msg, sizeof buf, (LPARAM)buf);
    return buf;
}

static std::string SelectedTreeText(HWND browser)
{
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    char text[MAX_PATH] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (item.hItem)
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&item);
    return text;
}

bool SelectInFolderBrowser(HWND browser, const std::string& path)
{
    std::string name = path.substr(LastSeparator(path) + 1);
    for (int i = 0; i < 100; i++) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)path.c_str());
        if (SelectedTreeText(browser) == name)
            return true;
        Sleep(100);
    }
    return false;
}

std::string FolderBrowserSelection(HWND browser, const std::string& expected)
{
    std::string text;
    for (int i = 0; i < 300 && (text = SelectedTreeText(browser)) != expected; i++)
        Sleep(100);
    return text;
}
