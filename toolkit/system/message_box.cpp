#include "toolkit/system/message_box.h"

#include <stdarg.h>

#include "toolkit/data/dbcs_text.h"

static HWND OwnerWindow;
static HANDLE AuxHandle;

void SetOwnerWindow(HWND owner) { OwnerWindow = owner; }
HWND GetOwnerWindow() { return OwnerWindow; }
void SetAuxHandle(HANDLE handle) { AuxHandle = handle; }
HANDLE GetAuxHandle() { return AuxHandle; }

// Formats into buf (MessageTextSize bytes). The platform formatter writes up
// to 1,024 bytes, so it works in a scratch buffer of that size and the result
// is cut to fit.
static void FormatMessageText(char* buf, const char* format, va_list args)
{
    char scratch[1024];
    wvsprintfA(scratch, format, args);
    DbcsCopyCut(buf, MessageTextSize, scratch);
}

static int ShowText(HWND owner, UINT type, const char* caption, const char* text)
{
    if (!owner)
        owner = OwnerWindow;
    return MessageBoxA(owner, text, caption, type | MB_SETFOREGROUND);
}

// Formats into the call's own buffer, then shows the text verbatim.
static int FormatAndShow(HWND owner, UINT type, const char* caption, const char* format,
                         va_list args)
{
    char buf[MessageTextSize];
    FormatMessageText(buf, format, args);
    return ShowText(owner, type, caption, buf);
}

int ShowMessageBox(HWND owner, UINT type, const char* caption, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int rc = FormatAndShow(owner, type, caption, format, args);
    va_end(args);
    return rc;
}

int ShowWarning(HWND owner, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int rc = FormatAndShow(owner, MB_OK, "警告", format, args);
    va_end(args);
    return rc;
}

int AskOkCancel(HWND owner, const char* caption, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int rc = FormatAndShow(owner, MB_OKCANCEL, caption, format, args);
    va_end(args);
    return rc;
}
