#include "toolkit/system/system_libraries.h"

#include <string.h>

int RestrictDllSearch(int ways)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel)
        return 0;
    typedef BOOL(WINAPI * SetDefaultDirectories)(DWORD);
    SetDefaultDirectories set_default =
        (ways & DllSearchDefaultDirectories)
            ? (SetDefaultDirectories)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories")
            : nullptr;
    if (set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return 2;
    typedef BOOL(WINAPI * SetDirectory)(LPCSTR);
    SetDirectory set_directory =
        (ways & DllSearchNoCurrentFolder)
            ? (SetDirectory)(void*)GetProcAddress(kernel, "SetDllDirectoryA")
            : nullptr;
    if (set_directory && set_directory(""))
        return 1;
    return 0;
}

int DllRedirectionPresent(char* path, int size)
{
    static const char Suffix[] = ".local";
    DWORD len = GetModuleFileNameA(nullptr, path, (DWORD)size);
    if (len == 0 || len + sizeof Suffix > (DWORD)size) {
        if (size > 0)
            path[0] = 0;
        return 0;
    }
    memcpy(path + len, Suffix, sizeof Suffix);
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return 1;
    // Something that cannot be looked at is there as well.
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
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
    // Every Windows from 95 and NT 4 on takes this flag: the DLL's own
    // imports are then searched for from the system folder, not from the
    // program's folder, also where the search cannot be restricted.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The start of the image this code is linked into, as the linker names it;
// an array of no stated size, since everything of the image lies behind it.
extern "C" BYTE __ImageBase[];

// Appends text to the line at *end, which may reach up to last; cuts it there.
static void Append(char** end, char* last, const char* text)
{
    size_t len = strlen(text);
    size_t room = (size_t)(last - *end);
    if (len > room)
        len = room;
    memcpy(*end, text, len);
    *end += len;
}

// Ends the process as the compiler vendors' helper does when a delay-loaded
// DLL or function is missing: an exception with the facility of delay
// loading, after a trace line that names what is missing (built by hand: the
// formatter lives in user32, which may be the DLL that is missing). A system
// DLL of the promised systems is never missing. function is null when the DLL
// itself is missing, a number below 0x10000 for an ordinal.
[[noreturn]] static void DelayLoadFailed(DWORD code, const char* dll, const char* function)
{
    ULONG_PTR error = GetLastError();
    char line[300];
    char* end = line;
    char* last = line + sizeof line - 2;
    Append(&end, last, "delay load failed: ");
    Append(&end, last, dll);
    if (function) {
        Append(&end, last, "!");
        Append(&end, last, IS_INTRESOURCE(function) ? "(ordinal)" : function);
    }
    end[0] = '\n';
    end[1] = 0;
    OutputDebugStringA(line);
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
            DelayLoadFailed(ERROR_MOD_NOT_FOUND, dll, nullptr);
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
        DelayLoadFailed(ERROR_PROC_NOT_FOUND, dll, function);
    *slot = address;
    return address;
}

// The image's load configuration, under the name the image's directory entry
// is made to point at (cmake/pe_load_config.py, after the link). Its
// dependent-load flags (the field the headers still call Reserved1) make
// Windows 10 1607 and later search the system folder alone for the DLLs the
// image imports statically, before the program's first instruction (the
// documentation speaks of the module's static imports, not of what those
// DLLs import in turn); older systems ignore the field, and every other
// field is zero, which asks for the system's defaults. A 32-bit record is 64 bytes
// long, the size Windows XP and earlier accept.
#ifdef _WIN64
static const DWORD LoadConfigSize = sizeof(IMAGE_LOAD_CONFIG_DIRECTORY);
#else
static const DWORD LoadConfigSize = 64;
#endif
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    LoadConfigSize, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, LOAD_LIBRARY_SEARCH_SYSTEM32, 0, 0, 0, 0};
