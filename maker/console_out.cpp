#include "maker/console_out.h"

#include <stdarg.h>

#include "maker/code_page_text.h"
#include "maker/wide_path.h"

static UINT CodePage;
static HANDLE Handles[2];
static int NamesWithStandIns;

void OutStart()
{
    CodePage = GetConsoleOutputCP();
    if (CodePage == 0)
        CodePage = GetOEMCP();  // no console: the code page a console would start with
    Handles[OutStd] = GetStdHandle(STD_OUTPUT_HANDLE);
    Handles[OutErr] = GetStdHandle(STD_ERROR_HANDLE);
    NamesWithStandIns = 0;
}

UINT OutCodePage() { return CodePage; }

static void Write(int stream, const char* bytes, int len)
{
    HANDLE handle = Handles[stream == OutErr ? OutErr : OutStd];
    if (handle == 0 || handle == INVALID_HANDLE_VALUE || len <= 0)
        return;
    // Nothing to be done about output that cannot be written; the exit code
    // still tells the outcome.
    DWORD written = 0;
    WriteFile(handle, bytes, (DWORD)len, &written, 0);
}

void OutAscii(int stream, const char* format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    int len = wvsprintfA(buf, format, args);
    va_end(args);
    Write(stream, buf, len);
}

int OutWide(int stream, const WCHAR* text)
{
    // A path's characters take at most four bytes each in any code page.
    static char buf[WidePathChars * 4];
    int stand_ins = 0;
    int len = ToCodePageShown(CodePage, text, lstrlenW(text), buf, sizeof buf, &stand_ins);
    Write(stream, buf, len);
    return stand_ins;
}

void OutName(int stream, const WCHAR* name)
{
    if (OutWide(stream, name) > 0)
        NamesWithStandIns++;
}

int OutNamesWithStandIns() { return NamesWithStandIns; }

void OutSystemMessage(int stream, DWORD code)
{
    WCHAR* lpMsgBuf = 0;
    DWORD len = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               0, code, 0, (LPWSTR)&lpMsgBuf, 0, 0);
    if (len == 0 || !lpMsgBuf) {
        OutAscii(stream, "error %lu", code);
        return;
    }
    // The system's texts end with a line end, and some hold one inside.
    for (DWORD i = 0; i < len; i++)
        if (lpMsgBuf[i] == L'\r' || lpMsgBuf[i] == L'\n')
            lpMsgBuf[i] = L' ';
    while (len > 0 && lpMsgBuf[len - 1] == L' ')
        lpMsgBuf[--len] = 0;
    OutWide(stream, lpMsgBuf);
    LocalFree(lpMsgBuf);
}

void OutWillFail(const WCHAR* path, int is_folder, const char* reason)
{
    OutAscii(OutStd, "will fail: ");
    OutName(OutStd, path);
    OutAscii(OutStd, "%s: %s\r\n", is_folder ? "\\" : "", reason);
}

void OutFailure(const char* what, const WCHAR* path, DWORD code)
{
    OutAscii(OutErr, "makepatch: %s ", what);
    OutName(OutErr, path);
    OutAscii(OutErr, ": ");
    OutSystemMessage(OutErr, code);
    OutAscii(OutErr, "\r\n");
}
