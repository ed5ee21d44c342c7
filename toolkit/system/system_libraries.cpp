#include "toolkit/system/system_libraries.h"

#include <delayimp.h>
#include <string.h>

int RestrictDllSearch()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return 0;
    typedef BOOL(WINAPI * SetDefaultDirectories)(DWORD);
    SetDefaultDirectories set_default =
        (SetDefaultDirectories)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return 2;
    typedef BOOL(WINAPI * SetDirectory)(LPCSTR);
    SetDirectory set_directory = (SetDirectory)(void*)GetProcAddress(kernel, "SetDllDirectoryA");
    if (set_directory && set_directory(""))
        return 1;
    return 0;
}

HMODULE LoadSystemLibrary(const char* name)
{
    char path[MAX_PATH];
    UINT len = GetSystemDirectoryA(path, sizeof path);
    size_t name_len = strlen(name);
    if (len == 0 || len >= sizeof path)
        return nullptr;
    if (len + 1 + name_len >= sizeof path) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return nullptr;
    }
    path[len] = '\\';
    memcpy(path + len + 1, name, name_len + 1);
    return LoadLibraryA(path);
}

// The start of the image this code is linked into, as the linker names it;
// an array of no stated size, since everything of the image lies behind it.
extern "C" BYTE __ImageBase[];

// Ends the process as the compiler vendors' helper does when a delay-loaded
// DLL or function is missing: an exception with the facility of delay
// loading. A system DLL of the promised systems is never missing.
[[noreturn]] static void DelayLoadFailed(DWORD code)
{
    ULONG_PTR error = GetLastError();
    for (;;)
        RaiseException(VcppException(ERROR_SEVERITY_ERROR, code), EXCEPTION_NONCONTINUABLE, 1,
                       &error);
}

// Called through the delay-load import libraries' thunks on the first call of
// each function: loads the DLL from the system folder on its first use,
// looks the function up, stores it in the import slot, and returns it. The
// descriptors come from dlltool and hold addresses relative to the image.
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot)
{
    BYTE* base = __ImageBase;
    const char* dll = (const char*)(base + descriptor->rvaDLLName);
    HMODULE* module = (HMODULE*)(base + descriptor->rvaHmod);
    if (!*module) {
        HMODULE loaded = LoadSystemLibrary(dll);
        if (!loaded)
            DelayLoadFailed(ERROR_MOD_NOT_FOUND);
        *module = loaded;
    }
    size_t index = (size_t)(slot - (FARPROC*)(base + descriptor->rvaIAT));
    const IMAGE_THUNK_DATA* names = (const IMAGE_THUNK_DATA*)(base + descriptor->rvaINT);
    LPCSTR function;
    if (IMAGE_SNAP_BY_ORDINAL(names[index].u1.Ordinal))
        function = (LPCSTR)(ULONG_PTR)IMAGE_ORDINAL(names[index].u1.Ordinal);
    else
        function = (LPCSTR)((const IMAGE_IMPORT_BY_NAME*)(base + names[index].u1.AddressOfData))->Name;
    FARPROC address = GetProcAddress(*module, function);
    if (!address)
        DelayLoadFailed(ERROR_PROC_NOT_FOUND);
    *slot = address;
    return address;
}

// The image's load configuration, under the name the image's directory entry
// is made to point at (cmake/pe_load_config.py, after the link). Its
// dependent-load flags (the field the headers still call Reserved1) make
// Windows 10 1607 and later search the system folder alone for every DLL the
// image imports and every DLL those pull in, before the program's first
// instruction; older systems ignore the field, and every other field is
// zero, which asks for the system's defaults. A 32-bit record is 64 bytes
// long, the size Windows XP and earlier accept.
#ifdef _WIN64
static const DWORD LoadConfigSize = sizeof(IMAGE_LOAD_CONFIG_DIRECTORY);
#else
static const DWORD LoadConfigSize = 64;
#endif
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    LoadConfigSize, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LOAD_LIBRARY_SEARCH_SYSTEM32, 0, 0, 0, 0};
