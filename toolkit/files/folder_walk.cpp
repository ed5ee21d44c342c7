#include "toolkit/files/folder_walk.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"

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
