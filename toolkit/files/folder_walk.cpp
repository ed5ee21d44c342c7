#include "toolkit/files/folder_walk.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"
#include "toolkit/system/admin_rights.h"

int WalkEntryKindOf(const WIN32_FIND_DATAA* FindFileData)
{
    const char* name = FindFileData->cFileName;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return WalkSkip;
    DWORD attributes = FindFileData->dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return WalkFile;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return WalkLink;
    return WalkFolder;
}

int WalkOpen(const char* folder, WIN32_FIND_DATAA* FindFileData, HANDLE* find)
{
    char pattern[WalkPathSize];
    *find = INVALID_HANDLE_VALUE;
    if (!JoinPath(pattern, sizeof pattern, folder, "*.*"))
        return WalkUnlisted;
    *find = FindFirstFileA(pattern, FindFileData);
    if (*find != INVALID_HANDLE_VALUE)
        return WalkOpened;
    // No entry at all. A missing folder gives ERROR_PATH_NOT_FOUND as a rule,
    // but the code alone does not prove that the folder is there.
    if (GetLastError() != ERROR_FILE_NOT_FOUND)
        return WalkUnlisted;
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return WalkUnlisted;
    return WalkEmpty;
}

int JoinPath(char* path, int size, const char* folder, const char* name)
{
    size_t folder_len = strlen(folder);
    size_t name_len = strlen(name);
    if (folder_len > 0 && folder_len + 1 + name_len < (size_t)size) {
        memcpy(path, folder, folder_len);
        path[folder_len] = '\\';
        memcpy(path + folder_len + 1, name, name_len + 1);
        return 1;
    }
    // Refused: build the cut text for messages. The folder alone may not fit.
    if (!DbcsCopyCut(path, size, folder))
        return 0;
    if (folder_len + 1 < (size_t)size) {
        path[folder_len] = '\\';
        DbcsCopyCut(path + folder_len + 1, size - (int)folder_len - 1, name);
    }
    return 0;
}

int ConcatPath(char* path, int size, const char* first, const char* second, const char* third)
{
    const char* parts[] = {first, second, third};
    int used = 0;
    for (const char* part : parts) {
        if (!DbcsCopyCut(path + used, size - used, part))
            return 0;
        used += (int)strlen(path + used);
    }
    return 1;
}

typedef DWORD(WINAPI* GetFinalPathFunction)(HANDLE, WCHAR*, DWORD, DWORD);

// Writes the path that folder resolves to, every link on the way followed,
// into resolved (size characters). Returns its length, or 0 when it cannot
// be had.
static DWORD ResolvedPath(GetFinalPathFunction get_final, const char* folder, WCHAR* resolved,
                          DWORD size)
{
    HANDLE handle = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    DWORD len = get_final(handle, resolved, size, 0);
    CloseHandle(handle);
    return len < size ? len : 0;
}

int WalkMayWriteInto(const char* root, const char* folder)
{
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !HoldsAdministratorRights())
        return 1;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetFinalPathFunction get_final =
        kernel ? (GetFinalPathFunction)(void*)GetProcAddress(kernel, "GetFinalPathNameByHandleW")
               : nullptr;
    WCHAR inside[WalkPathSize], resolved[WalkPathSize];
    DWORD inside_len, len;
    if (!get_final || (inside_len = ResolvedPath(get_final, root, inside, WalkPathSize)) == 0 ||
        (len = ResolvedPath(get_final, folder, resolved, WalkPathSize)) == 0)
        return 0;
    // Inside: the root's resolved path itself, or it and a backslash (which
    // it ends in when the root is a drive's root). The file system gives one
    // object one resolved text, so the texts are compared as they are.
    if (len < inside_len)
        return 0;
    for (DWORD i = 0; i < inside_len; i++)
        if (resolved[i] != inside[i])
            return 0;
    return len == inside_len || inside[inside_len - 1] == L'\\' || resolved[inside_len] == L'\\';
}
