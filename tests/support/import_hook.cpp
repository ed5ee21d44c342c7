#include "tests/support/import_hook.h"

// Finds the import table entry of this program that holds the address
// wanted, or null.
static void** FindImportSlot(void* wanted)
{
    BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress || !wanted)
        return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR* imp = (IMAGE_IMPORT_DESCRIPTOR*)(base + dir.VirtualAddress);
         imp->Name; imp++) {
        for (IMAGE_THUNK_DATA* thunk = (IMAGE_THUNK_DATA*)(base + imp->FirstThunk);
             thunk->u1.Function; thunk++) {
            void** slot = (void**)&thunk->u1.Function;
            if (*slot == wanted)
                return slot;
        }
    }
    return nullptr;
}

// Writes value into a slot of the import table, which is read-only after
// loading.
static int WriteSlot(void** slot, void* value)
{
    DWORD old;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return 0;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return 1;
}

int HookImport(const char* dll, const char* function, void* replacement, void** original)
{
    HMODULE module = GetModuleHandleA(dll);
    void* target = module ? (void*)GetProcAddress(module, function) : nullptr;
    void** slot = FindImportSlot(target);
    if (!slot)
        return 0;
    *original = target;
    return WriteSlot(slot, replacement);
}

int RestoreImport(void* replacement, void* original)
{
    void** slot = FindImportSlot(replacement);
    return slot ? WriteSlot(slot, original) : 0;
}
