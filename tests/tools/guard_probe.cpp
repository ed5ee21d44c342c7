// Prints the stack canary's value as 0x%p; with "overrun N" writes N bytes
// into a 16-byte local buffer through a call the compiler cannot see into, and
// with "checked TEXT" copies TEXT into an 8-byte buffer with strcpy, so that
// the frame's canary check or the checked copy ends the process. With
// "delay DLL FUNCTION" calls FUNCTION of DLL through the delay-load helper as
// a delay-loaded import's first call does, and ends with 0 when the helper
// gave the system's address of it and stored it in the slot. The stack guard
// and system library tests start it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "toolkit/system/stack_guard.h"
#include "toolkit/system/system_libraries.h"

extern "C" BYTE __ImageBase[];

static DWORD Rva(const void* p)
{
    return (DWORD)((const BYTE*)p - __ImageBase);
}

// Ends the process with the code of an exception nobody handles, as Windows
// does without a debugger (Wine would start its own).
static LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info)
{
    TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// One delay-load descriptor for one function, as dlltool lays them out.
static int CallDelayLoaded(const char* dll, const char* function)
{
    static char dll_name[MAX_PATH];
    static HMODULE module;
    static FARPROC slot[2];
    static IMAGE_THUNK_DATA names[2];
    static struct {
        WORD hint;
        char name[256];
    } by_name;
    snprintf(dll_name, sizeof dll_name, "%s", dll);
    snprintf(by_name.name, sizeof by_name.name, "%s", function);
    names[0].u1.AddressOfData = Rva(&by_name);
    ImgDelayDescr descriptor = {};
    descriptor.grAttrs = dlattrRva;
    descriptor.rvaDLLName = Rva(dll_name);
    descriptor.rvaHmod = Rva(&module);
    descriptor.rvaIAT = Rva(slot);
    descriptor.rvaINT = Rva(names);
    SetUnhandledExceptionFilter(EndAtOnce);
    FARPROC address = __delayLoadHelper2(&descriptor, &slot[0]);
    address();  // as the import's thunk jumps to whatever the helper returns
    FARPROC real = GetProcAddress(GetModuleHandleA(dll), function);
    return address == real && slot[0] == real ? 0 : 1;
}

__attribute__((noinline)) static void Fill(char* p, size_t n)
{
    memset(p, 'x', n);
}

__attribute__((noinline)) static int Overrun(size_t n)
{
    char buf[16];
    Fill(buf, n);
    return buf[3];
}

__attribute__((noinline)) static int Checked(const char* text)
{
    char buf[8];
    strcpy(buf, text);
    return buf[0];
}

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "overrun") == 0)
        return Overrun((size_t)atoi(argv[2]));
    if (argc == 3 && strcmp(argv[1], "checked") == 0)
        return Checked(argv[2]);
    if (argc == 4 && strcmp(argv[1], "delay") == 0)
        return CallDelayLoaded(argv[2], argv[3]);
    printf("0x%p\n", (void*)__stack_chk_guard);
    return 0;
}
