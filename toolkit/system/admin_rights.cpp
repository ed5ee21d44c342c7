#include "toolkit/system/admin_rights.h"

#include "toolkit/system/os_version.h"
#include "toolkit/system/system_libraries.h"

typedef BOOL(WINAPI* OpenProcessTokenFunction)(HANDLE, DWORD, HANDLE*);
typedef BOOL(WINAPI* GetTokenInformationFunction)(HANDLE, TOKEN_INFORMATION_CLASS, void*, DWORD,
                                                  DWORD*);

// The Administrators group, S-1-5-32-544, as the system stores a SID.
static const BYTE AdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

static int IsAdministratorsSid(const BYTE* sid)
{
    for (size_t i = 0; i < sizeof AdministratorsSid; i++)
        if (sid[i] != AdministratorsSid[i])
            return 0;
    return 1;
}

// Tells whether the token's groups hold Administrators, enabled (a group
// for deny only does not count). Returns 1, 0, or -1 when they cannot be read.
static int AdministratorsEnabled(GetTokenInformationFunction get, HANDLE token)
{
    DWORD size = 0;
    get(token, TokenGroups, nullptr, 0, &size);
    if (size == 0 || size > 65536)
        return -1;
    HANDLE heap = GetProcessHeap();
    TOKEN_GROUPS* groups = (TOKEN_GROUPS*)HeapAlloc(heap, 0, size);
    if (!groups)
        return -1;
    int found = -1;
    if (get(token, TokenGroups, groups, size, &size)) {
        found = 0;
        for (DWORD i = 0; i < groups->GroupCount && !found; i++) {
            const BYTE* sid = (const BYTE*)groups->Groups[i].Sid;
            found = IsAdministratorsSid(sid) &&
                    (groups->Groups[i].Attributes & SE_GROUP_ENABLED) &&
                    !(groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
        }
    }
    HeapFree(heap, 0, groups);
    return found;
}

int HoldsAdministratorRights()
{
    if (IsWindows9x())
        return 0;
    HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    if (!advapi)
        return 1;
    OpenProcessTokenFunction open_token =
        (OpenProcessTokenFunction)(void*)GetProcAddress(advapi, "OpenProcessToken");
    GetTokenInformationFunction get =
        (GetTokenInformationFunction)(void*)GetProcAddress(advapi, "GetTokenInformation");
    HANDLE token;
    if (!open_token || !get || !open_token(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 1;
    int holds;
    TOKEN_ELEVATION elevation;
    DWORD size;
    if (get(token, TokenElevation, &elevation, sizeof elevation, &size)) {
        holds = elevation.TokenIsElevated != 0;
    } else {
        // Before Vista the class is unknown: the groups tell.
        holds = AdministratorsEnabled(get, token);
        if (holds < 0)
            holds = 1;
    }
    CloseHandle(token);
    // The module stays loaded, as every system DLL of the program does.
    return holds;
}
