#include "tests/support/listing_hook.h"

#include <stddef.h>
#include <string.h>

#include <string>

#include "tests/support/import_hook.h"

static HANDLE(WINAPI* RealFindFirst)(LPCSTR, LPWIN32_FIND_DATAA);
static BOOL(WINAPI* RealFindNext)(HANDLE, LPWIN32_FIND_DATAA);
static bool DropDots;

// Passes over "." and ".." when asked to; false when no other entry is left.
static bool SkipDots(HANDLE find, LPWIN32_FIND_DATAA data)
{
    while (DropDots && (!strcmp(data->cFileName, ".") || !strcmp(data->cFileName, ".."))) {
        if (!RealFindNext(find, data))
            return false;
    }
    return true;
}

static HANDLE WINAPI HookedFindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    std::wstring wide(strlen(pattern) + 1, L'\0');
    MultiByteToWideChar(932, 0, pattern, -1, &wide[0], (int)wide.size());
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(wide.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return find;
    // Both records hold the same fields up to the names; no walk reads the
    // short name.
    memcpy(data, &found, offsetof(WIN32_FIND_DATAW, cFileName));
    WideCharToMultiByte(932, 0, found.cFileName, -1, data->cFileName, MAX_PATH, nullptr, nullptr);
    data->cAlternateFileName[0] = 0;
    if (SkipDots(find, data))
        return find;
    FindClose(find);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

static BOOL WINAPI HookedFindNext(HANDLE find, LPWIN32_FIND_DATAA data)
{
    return RealFindNext(find, data) && SkipDots(find, data);
}

ListingHook::ListingHook(Mode mode)
{
    DropDots = mode == NoDotEntries;
    ok_ = HookImport("kernel32.dll", "FindFirstFileA", (void*)HookedFindFirst,
                     (void**)&RealFindFirst) &&
          HookImport("kernel32.dll", "FindNextFileA", (void*)HookedFindNext, (void**)&RealFindNext);
}

ListingHook::~ListingHook()
{
    RestoreImport((void*)HookedFindFirst, (void*)RealFindFirst);
    RestoreImport((void*)HookedFindNext, (void*)RealFindNext);
}
