// Prints what the version report gives this program, one query a line, as
// code page 932 bytes on standard output. The version tests start it under
// each Windows version that Wine reports to a program chosen by file name.
//   record <size> <major>.<minor> <build> <platform> [<service-pack text>]
//   nt5 <IsNt5OrLater>
//   kind 0x<GetOsKind>
//   text [<GetOsVersionText>]
#include <stdarg.h>
#include <string.h>
#include <windows.h>

#include "toolkit/system/os_version.h"

static void Print(const char* format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    int len = wvsprintfA(buf, format, args);
    va_end(args);
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buf, len, &written, nullptr);
}

int main()
{
    OSVERSIONINFOA info;
    memset(&info, 0xCC, sizeof info);
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = 0;
    if (GetOsVersion(&info) != &info)
        return 1;
    Print("record %lu %lu.%lu %lu %lu [%s]\n", info.dwOSVersionInfoSize, info.dwMajorVersion,
          info.dwMinorVersion, info.dwBuildNumber, info.dwPlatformId, info.szCSDVersion);
    Print("nt5 %d\n", IsNt5OrLater());
    Print("kind 0x%03x\n", GetOsKind());
    Print("text [%s]\n", GetOsVersionText());
    return 0;
}
