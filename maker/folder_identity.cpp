#include "maker/folder_identity.h"

#include <string.h>
#include <wchar.h>

#include "maker/path_pattern.h"

// Which id the system gave for a folder; ids of different kinds are never
// compared.
enum IdKind {
    IdUnknown = 0,  // none, or 0, which some shares give for every file
    IdIndex = 1,    // the 64-bit file index
    IdFull = 2,     // the 128-bit file id
};

struct FolderId {
    int kind;
    ULONGLONG volume;
    BYTE id[16];
};

typedef BOOL(WINAPI* FileInfoFn)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
typedef DWORD(WINAPI* FinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);

// A function of kernel32 that older systems lack, or null.
static FARPROC Kernel32Function(const char* name)
{
    return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
}

static int AllZero(const BYTE* bytes, int count)
{
    for (int i = 0; i < count; i++)
        if (bytes[i])
            return 0;
    return 1;
}

// Reads what the open folder is. The 128-bit id comes first where the
// system gives it (Windows 8 and Server 2012 on): on ReFS, a Dev Drive
// among others, the 64-bit index is not unique. A file system without
// 128-bit ids gives 0 there, and the 64-bit index is asked instead. An id
// of 0 says nothing: the folder is left unknown. Returns 1; 0 when the
// system cannot be asked (GetLastError says why).
static int ReadId(HANDLE folder, FolderId* id)
{
    memset(id, 0, sizeof *id);
    FileInfoFn file_info = (FileInfoFn)(void*)Kernel32Function("GetFileInformationByHandleEx");
    FILE_ID_INFO full;
    if (file_info && file_info(folder, FileIdInfo, &full, sizeof full) &&
        !AllZero(full.FileId.Identifier, sizeof full.FileId.Identifier)) {
        id->kind = IdFull;
        id->volume = full.VolumeSerialNumber;
        memcpy(id->id, full.FileId.Identifier, sizeof id->id);
        return 1;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(folder, &info))
        return 0;
    if (info.nFileIndexHigh || info.nFileIndexLow) {
        id->kind = IdIndex;
        id->volume = info.dwVolumeSerialNumber;
        memcpy(id->id, &info.nFileIndexLow, sizeof info.nFileIndexLow);
        memcpy(id->id + 4, &info.nFileIndexHigh, sizeof info.nFileIndexHigh);
    }
    return 1;
}

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
    int ok = ReadId(folder, id);
    DWORD error = GetLastError();
    if (ok && kept)
        *kept = folder;
    else
        CloseHandle(folder);
    SetLastError(error);
    return ok;
}

// 1 when a and b are known to be the same folder.
static int SameId(const FolderId* a, const FolderId* b)
{
    return a->kind != IdUnknown && a->kind == b->kind && a->volume == b->volume &&
           memcmp(a->id, b->id, sizeof a->id) == 0;
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

// The final path of an open folder, links resolved, as "\\?\C:\..." or
// "\\?\UNC\...", written into final_path (WidePathChars characters);
// null where the system cannot say it (Windows before Vista, a volume
// without a drive letter, a share that refuses a part of the path).
static const WCHAR* FinalPathOf(HANDLE folder, WCHAR* final_path)
{
    FinalPathFn final_path_of = (FinalPathFn)(void*)Kernel32Function("GetFinalPathNameByHandleW");
    if (!final_path_of)
        return 0;
    // 0: FILE_NAME_NORMALIZED with VOLUME_NAME_DOS, a path on a drive letter.
    DWORD got = final_path_of(folder, final_path, WidePathChars, 0);
    if (got == 0 || got >= (DWORD)WidePathChars || PrefixChars(final_path) == 0)
        return 0;
    return final_path;
}

// 1 when the path text inner names the folder that outer names or one
// below it, letters compared in either case.
static int TextWithin(const WCHAR* inner, const WCHAR* outer)
{
    int len = (int)wcslen(outer);
    while (len > 0 && outer[len - 1] == L'\\')
        len--;  // a drive's root: "\\?\C:\"
    return (int)wcslen(inner) >= len && NamesCompare(inner, outer, len) == 0 &&
           (inner[len] == 0 || inner[len] == L'\\');
}

int FolderIsWithin(const WidePath* inner, const WidePath* outer)
{
    static WCHAR inner_final[WidePathChars], outer_final[WidePathChars];
    HANDLE outer_folder = INVALID_HANDLE_VALUE, inner_folder = INVALID_HANDLE_VALUE;
    FolderId outer_id, inner_id;
    if (!FolderIdOf(outer->text, &outer_id, &outer_folder))
        return -1;
    if (!FolderIdOf(inner->text, &inner_id, &inner_folder)) {
        DWORD error = GetLastError();
        CloseHandle(outer_folder);
        SetLastError(error);
        return -1;
    }
    const WCHAR* final_path = FinalPathOf(inner_folder, inner_final);
    int within;
    if (outer_id.kind != IdUnknown && inner_id.kind != IdUnknown) {
        // The path as given first: it finds another drive letter, subst and
        // other spellings on every version of Windows. Then the real
        // ancestors, which a junction on the way hides from the path as
        // given.
        within = ChainHolds(inner->text, &outer_id) ||
                 (final_path && ChainHolds(final_path, &outer_id));
    } else {
        // Without ids the folders are told apart by their paths' text: the
        // final paths, links resolved, where the system gives both, else
        // the paths as given.
        const WCHAR* outer_path = FinalPathOf(outer_folder, outer_final);
        within = final_path && outer_path ? TextWithin(final_path, outer_path)
                                          : TextWithin(inner->text, outer->text);
    }
    CloseHandle(inner_folder);
    CloseHandle(outer_folder);
    return within;
}
