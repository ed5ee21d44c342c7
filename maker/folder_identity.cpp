#include "maker/folder_identity.h"

#include <string.h>
#include <wchar.h>

struct FolderId {
    DWORD volume;
    DWORD index_high;
    DWORD index_low;
};

// Reads the identity of the folder that the prefixed path text names (a
// drive as "\\?\C:" is asked for as its root folder, never as the volume).
// Returns 1, with the folder still open in *kept when kept is given; 0 when
// it cannot be opened or asked (GetLastError says why).
static int FolderIdOf(const WCHAR* text, FolderId* id, HANDLE* kept)
{
    static WCHAR rooted[WidePathChars + 1];
    int len = (int)wcslen(text);
    if (len > 0 && text[len - 1] == L':' && len < WidePathChars) {
        memcpy(rooted, text, len * sizeof(WCHAR));
        rooted[len] = L'\\';
        rooted[len + 1] = 0;
        text = rooted;
    }
    // No access to the content is asked for: only the attributes are read.
    HANDLE folder = CreateFileW(text, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 0);
    if (folder == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    int ok = GetFileInformationByHandle(folder, &info) != 0;
    DWORD error = GetLastError();
    if (ok) {
        id->volume = info.dwVolumeSerialNumber;
        id->index_high = info.nFileIndexHigh;
        id->index_low = info.nFileIndexLow;
    }
    if (ok && kept)
        *kept = folder;
    else
        CloseHandle(folder);
    SetLastError(error);
    return ok;
}

static int SameId(const FolderId* a, const FolderId* b)
{
    return a->volume == b->volume && a->index_high == b->index_high &&
           a->index_low == b->index_low;
}

// Characters of the long-path prefix at the start of text, below which no
// ancestor is cut: "\\?\UNC\" for a share, "\\?\" for a drive.
static int PrefixChars(const WCHAR* text)
{
    if (wcsncmp(text, L"\\\\?\\UNC\\", 8) == 0)
        return 8;
    return wcsncmp(text, L"\\\\?\\", 4) == 0 ? 4 : 0;
}

// Scratch for the ancestors of a path.
static WCHAR Chain[WidePathChars];

// 1 when the folder that the prefixed path text names, or one of the folders
// above it by its text, has the identity id. An ancestor that cannot be
// opened (the server part of a share's path) ends the chain.
static int ChainHolds(const WCHAR* text, const FolderId* id)
{
    int len = (int)wcslen(text);
    if (len == 0 || len >= WidePathChars)
        return 0;
    memcpy(Chain, text, (len + 1) * sizeof(WCHAR));
    int floor = PrefixChars(Chain);
    for (;;) {
        FolderId here;
        if (!FolderIdOf(Chain, &here, 0))
            return 0;
        if (SameId(&here, id))
            return 1;
        if (Chain[len - 1] == L':')
            return 0;  // a drive's root: nothing above it
        while (len > floor && Chain[len - 1] != L'\\')
            len--;
        len--;  // the backslash before the name
        if (len <= floor)
            return 0;
        Chain[len] = 0;
    }
}

typedef DWORD(WINAPI* FinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);

// The final path of an open folder, links resolved, as "\\?\C:\..." or
// "\\?\UNC\...", in a module buffer; null where the system cannot say it
// (Windows before Vista, a volume without a drive letter).
static const WCHAR* FinalPathOf(HANDLE folder)
{
    static WCHAR final_path[WidePathChars];
    FinalPathFn final_path_of = (FinalPathFn)(void*)GetProcAddress(
        GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW");
    if (!final_path_of)
        return 0;
    // 0: FILE_NAME_NORMALIZED with VOLUME_NAME_DOS, a path on a drive letter.
    DWORD got = final_path_of(folder, final_path, WidePathChars, 0);
    if (got == 0 || got >= (DWORD)WidePathChars || PrefixChars(final_path) == 0)
        return 0;
    return final_path;
}

int FolderIsWithin(const WidePath* inner, const WidePath* outer)
{
    FolderId outer_id;
    if (!FolderIdOf(outer->text, &outer_id, 0))
        return -1;
    HANDLE folder = INVALID_HANDLE_VALUE;
    FolderId inner_id;
    if (!FolderIdOf(inner->text, &inner_id, &folder))
        return -1;
    // The path as given first: it finds another drive letter, subst and
    // other spellings on every version of Windows.
    int within = ChainHolds(inner->text, &outer_id);
    // Then the real ancestors, which a junction on the way hides from the
    // path as given.
    if (!within) {
        const WCHAR* final_path = FinalPathOf(folder);
        within = final_path && ChainHolds(final_path, &outer_id);
    }
    CloseHandle(folder);
    return within;
}
