#include "tests/support/updater_process.h"

#include <string.h>

#include "res/resource.h"
#include "tests/support/wine_host.h"

static const char UpdaterKey[] = "SoftWare\\Pelto\\Kivari Quilmar";
static const char DialogCaption[] = "Pelto アップデーター";

std::string UpdateExePath() { return WindowsPathOfUnix(UPDATE_EXE_UNIX_PATH); }

std::string BesideTestProgram(const std::string& name)
{
    char self[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, len < sizeof self ? len : 0);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
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

std::vector<std::string> EnvironmentWith(const std::string& name, const std::string& value)
{
    std::vector<std::string> environment;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; p && *p; p += strlen(p) + 1)
        if (_strnicmp(p, (name + "=").c_str(), name.size() + 1) != 0)
            environment.push_back(p);
    if (block)
        FreeEnvironmentStringsA(block);
    environment.push_back(name + "=" + value);
    return environment;
}

bool UpdaterProcess::Start(const std::string& exe, const std::string& work_dir,
                           const std::vector<std::string>* environment)
{
    std::string line = "\"" + exe + "\"";
    std::string block;
    if (environment) {
        for (const std::string& entry : *environment)
            block += entry + '\0';
        block += '\0';
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    return CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                          environment ? &block[0] : nullptr, work_dir.c_str(), &si, &pi_) != FALSE;
}

struct WindowSearch {
    DWORD pid;
    const char* caption;
    bool message_box;
    HWND skip;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch* search = (WindowSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window) || window == search->skip)
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

HWND UpdaterProcess::FindWindowOfProcess(const char* caption, bool message_box, HWND skip) const
{
    WindowSearch search = {pi_.dwProcessId, caption, message_box, skip, nullptr};
    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

HWND UpdaterProcess::WaitWindow(const char* caption, bool message_box, HWND skip,
                               DWORD timeout_ms) const
{
    DWORD start = GetTickCount();
    HWND window;
    while (!(window = FindWindowOfProcess(caption, message_box, skip))) {
        if (!Running() || GetTickCount() - start > timeout_ms)
            return nullptr;
        Sleep(50);
    }
    return window;
}

HWND UpdaterProcess::WaitDialog(DWORD timeout_ms)
{
    return dialog_ = WaitWindow(DialogCaption, false, nullptr, timeout_ms);
}

HWND UpdaterProcess::WaitMessageBox(DWORD timeout_ms)
{
    return WaitWindow(nullptr, true, nullptr, timeout_ms);
}

HWND UpdaterProcess::WaitOtherWindow(DWORD timeout_ms)
{
    return WaitWindow(nullptr, false, dialog_, timeout_ms);
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
