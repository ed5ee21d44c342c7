#include "toolkit/files/choosers.h"

#include <stddef.h>
#include <string.h>

#include <commdlg.h>
#include <objbase.h>

#include "toolkit/data/dbcs_text.h"
#include "toolkit/system/registry.h"

char ChooserDefDir[ChooserPathSize];
char ChooserDefExt[ChooserExtSize];
char OpenFileResult[ChooserPathSize];
char SaveFileResult[ChooserPathSize];

// The path buffer of the folder chooser that is showing, read by its callback;
// null when there is none or its text does not fit a path.
static char* ChooseFolderStart;

// Longest stored default that LoadChooserDefaults reads (then cuts to fit):
// the program's path size.
const int StoredDefaultSize = 1024;

// The file dialogs take the record form without the later extension fields:
// 76 bytes on the 32-bit program, the same fields on the 64-bit build.
#ifndef _WIN64
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
              "the file dialog record form without the extension fields");
#endif

static char* ChooseFile(HWND owner, const char* filter, char* result, DWORD flags,
                        const char* def_ext, int save)
{
    result[0] = 0;  // the dialog starts with no file name
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = result;
    ofn.nMaxFile = ChooserPathSize;
    ofn.lpstrInitialDir = ChooserDefDir;
    ofn.lpstrDefExt = def_ext;
    ofn.Flags = flags;
    BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok) {
        // A failed dialog may leave other data there (the size it needed).
        result[0] = 0;
        return 0;
    }
    return result;
}

char* ChooseOpenFile(HWND owner, const char* filter)
{
    return ChooseFile(owner, filter, OpenFileResult, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, 0, 0);
}

char* ChooseSaveFile(HWND owner, const char* filter)
{
    return ChooseFile(owner, filter, SaveFileResult, OFN_HIDEREADONLY, ChooserDefExt, 1);
}

int CALLBACK ChooseFolderCallback(HWND hwnd, UINT msg, LPARAM lparam, LPARAM data)
{
    (void)lparam;
    (void)data;
    if (msg == BFFM_INITIALIZED && ChooseFolderStart)
        SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, (LPARAM)ChooseFolderStart);
    return 0;
}

// The shell writes the display name and the path into buffers of this module:
// the caller's buffer receives a full path only when there is one to give, so
// that a cancel or a choice without a file-system path leaves it untouched.
int ChooseFolder(HWND owner, char* path)
{
    ChooseFolderStart = memchr(path, 0, ChooserPathSize) ? path : 0;
    char name[ChooserPathSize];
    BROWSEINFOA bi;
    memset(&bi, 0, sizeof bi);
    bi.hwndOwner = owner;
    bi.pszDisplayName = name;
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = ChooseFolderCallback;
    // The folder browser needs COM on this thread. A thread that has it
    // already answers S_FALSE, which still asks for CoUninitialize; one that
    // has it in another model answers RPC_E_CHANGED_MODE and is left as it is.
    HRESULT com = CoInitialize(nullptr);
    LPITEMIDLIST list = SHBrowseForFolderA(&bi);
    ChooseFolderStart = 0;
    char chosen[ChooserPathSize];
    BOOL ok = FALSE;
    if (list) {
        ok = SHGetPathFromIDListA(list, chosen);
        FreeItemList(list);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!ok)
        return 0;
    memcpy(path, chosen, strlen(chosen) + 1);
    return 1;
}

void FreeItemList(LPITEMIDLIST list)
{
    IMalloc* alloc = 0;
    if (SUCCEEDED(SHGetMalloc(&alloc)) && alloc) {
        alloc->Free(list);
        alloc->Release();
    }
}

void SetChooserDefDir(const char* path, int cut)
{
    DbcsCopyCut(ChooserDefDir, ChooserPathSize, path);
    size_t len = strlen(ChooserDefDir);
    memset(ChooserDefDir + len, 0, ChooserPathSize - len);
    if (cut) {
        char* last = (char*)DbcsFindLastChar(ChooserDefDir, '\\');
        if (last)
            *last = 0;
    }
}

void SetChooserDefExt(const char* ext)
{
    DbcsCopyCut(ChooserDefExt, ChooserExtSize, ext);
}

// Reads one stored default into dst (dst_size bytes), cut to fit; leaves dst
// as it was when the value cannot be read whole.
static void LoadDefault(const char* value_name, char* dst, int dst_size)
{
    char buf[StoredDefaultSize];
    if (ReadRegText(value_name, buf, sizeof buf) == 0)
        DbcsCopyCut(dst, dst_size, buf);
}

void LoadChooserDefaults(const char* app_key)
{
    SelectSoftwareRegKey(app_key);
    LoadDefault("defdir", ChooserDefDir, ChooserPathSize);
    LoadDefault("defext", ChooserDefExt, ChooserExtSize);
}

void SaveChooserDefaults(const char* app_key)
{
    SelectSoftwareRegKey(app_key);
    WriteRegText("defdir", ChooserDefDir);
    WriteRegText("defext", ChooserDefExt);
}
