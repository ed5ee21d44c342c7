#include "tests/support/updater_process.h"

#include <string.h>

#include "res/resource.h"

static const char UpdaterKey[] = "SoftWare\\Pelto\\Kivari Quilmar";
static const char DialogCaption[] = "Pelto アップデーター";

std::string UpdateExePath()
{
    // The build passes the Unix path; Wine shows the Unix root as drive Z:.
    std::string path = std::string("Z:") + UPDATE_EXE_UNIX_PATH;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

bool StoreInstallDir(const std::string& value)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, UpdaterKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, "InstallDir", 0, REG_SZ, (const BYTE*)value.c_str(),
                             (DWORD)value.size() + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void EraseInstallDir()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UpdaterKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "InstallDir");
        RegCloseKey(key);
    }
}

UpdaterProcess::~UpdaterProcess()
{
    if (pi_.hProcess) {
        if (Running())
            TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
}

bool UpdaterProcess::Start(const std::string& exe, const std::string& work_dir)
{
    std::string line = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                          work_dir.c_str(), &si, &pi_) != FALSE;
}

struct WindowSearch {
    DWORD pid;
    const char* caption;
    bool message_box;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch* search = (WindowSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window))
        return TRUE;
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (search->caption && strcmp(caption, search->caption) != 0)
        return TRUE;
    // A message box is a dialog holding its text in the control 0xFFFF.
    if (search->message_box != (GetDlgItem(window, 0xFFFF) != nullptr))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND UpdaterProcess::FindWindowOfProcess(const char* caption, bool message_box) const
{
    WindowSearch search = {pi_.dwProcessId, caption, message_box, nullptr};
    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

HWND UpdaterProcess::WaitDialog(DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (!(dialog_ = FindWindowOfProcess(DialogCaption, false))) {
        if (!Running() || GetTickCount() - start > timeout_ms)
            return nullptr;
        Sleep(50);
    }
    return dialog_;
}

HWND UpdaterProcess::WaitMessageBox(DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    HWND box;
    while (!(box = FindWindowOfProcess(nullptr, true))) {
        if (!Running() || GetTickCount() - start > timeout_ms)
            return nullptr;
        Sleep(50);
    }
    return box;
}

std::string UpdaterProcess::Text(int id, HWND window) const
{
    HWND control = id ? GetDlgItem(window ? window : dialog_, id) : window;
    LRESULT len = SendMessageA(control, WM_GETTEXTLENGTH, 0, 0);
    std::string text(len + 1, '\0');
    len = SendMessageA(control, WM_GETTEXT, len + 1, (LPARAM)&text[0]);
    text.resize(len);
    return text;
}

bool UpdaterProcess::Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }

void UpdaterProcess::Command(int id) const { PostMessageA(dialog_, WM_COMMAND, id, 0); }

static bool EndsWith(const std::string& text, const char* tail)
{
    size_t n = strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

bool UpdaterProcess::WaitRunEnd(DWORD timeout_ms) const
{
    DWORD start = GetTickCount();
    for (;;) {
        std::string log = Text(IDC_LOG);
        if ((EndsWith(log, "アップデート終了\r\n") ||
             EndsWith(log, "その後にアップデートしてください。\r\n")) &&
            Enabled(IDC_START) && Enabled(IDC_QUIT))
            return true;
        if (!Running() || GetTickCount() - start > timeout_ms)
            return false;
        Sleep(50);
    }
}

bool UpdaterProcess::WaitLogLines(int lines, DWORD timeout_ms) const
{
    DWORD start = GetTickCount();
    for (;;) {
        std::string log = Text(IDC_LOG);
        int count = 0;
        for (size_t at = 0; (at = log.find("\r\n", at)) != std::string::npos; at += 2)
            count++;
        if (count >= lines)
            return true;
        if (!Running() || GetTickCount() - start > timeout_ms)
            return false;
        Sleep(20);
    }
}

long UpdaterProcess::WaitExit(DWORD timeout_ms)
{
    if (WaitForSingleObject(pi_.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return (long)code;
}

bool UpdaterProcess::Terminate(DWORD timeout_ms)
{
    return pi_.hProcess && TerminateProcess(pi_.hProcess, 99) &&
           WaitForSingleObject(pi_.hProcess, timeout_ms) == WAIT_OBJECT_0;
}

bool UpdaterProcess::Running() const
{
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}
