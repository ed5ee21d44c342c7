#include "toolkit/system/trace.h"

#include <stdarg.h>

#include "toolkit/data/dbcs_text.h"

void TraceOut(const char* format, ...)
{
    char buf[TraceTextSize];
    va_list args;
    va_start(args, format);
    wvsprintfA(buf, format, args);
    va_end(args);
    // The formatter cuts at 1,023 bytes by position; do not send half of a
    // two-byte character.
    buf[DbcsFitLength(buf, TraceTextSize - 1)] = 0;
    OutputDebugStringA(buf);
}

void TraceSystemError(DWORD code)
{
    char* lpMsgBuf = 0;
    DWORD len = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        0, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&lpMsgBuf, 0, 0);
    if (len == 0 || !lpMsgBuf) {
        TraceOut("err:%lu\n", code);
        return;
    }
    TraceOut("err:%s\n", lpMsgBuf);
    LocalFree(lpMsgBuf);
}
