// A DLL that records its own loading: when a process attaches it, it appends
// its own file name and a line end to "planted.log" in its own folder, and
// does nothing else. The planting tests copy it beside update.exe under the
// names of DLLs that the system libraries pull in.
#include <string.h>
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH + 16];
    DWORD len = GetModuleFileNameA(self, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return TRUE;
    char name[MAX_PATH + 2];
    char* slash = strrchr(path, '\\');
    strcpy(name, slash ? slash + 1 : path);
    strcat(name, "\r\n");
    strcpy(slash ? slash + 1 : path, "planted.log");
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(log, name, (DWORD)strlen(name), &written, nullptr);
        CloseHandle(log);
    }
    return TRUE;
}
