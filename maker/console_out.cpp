#include "maker/console_out.h"

#include <stdarg.h>

#include "maker/code_page_text.h"
#include "maker/wide_path.h"

static UINT CodePage;
static HANDLE Handles[2];
static int NamesWithStandIns;

static void CountedReset();

void OutStart()
{
    CodePage = GetConsoleOutputCP();
    if (CodePage == 0)
        CodePage = GetOEMCP();  // no console: the code page a console would start with
    Handles[OutStd] = GetStdHandle(STD_OUTPUT_HANDLE);
    Handles[OutErr] = GetStdHandle(STD_ERROR_HANDLE);
    NamesWithStandIns = 0;
    CountedReset();
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

// Names counted since OutStart, by a 64-bit hash of their text, in a table
// with open addressing that is never more than half full: a name printed
// twice (written, then named by the check) is counted once.
static unsigned long long* Counted;
static int CountedSlots;  // a power of two, or 0
static int CountedUsed;

static void CountedReset()
{
    if (Counted)
        HeapFree(GetProcessHeap(), 0, Counted);
    Counted = 0;
    CountedSlots = CountedUsed = 0;
}

// Puts hash into table (slots entries). Returns 1 when it was not there yet.
static int CountedPut(unsigned long long* table, int slots, unsigned long long hash)
{
    int at = (int)(hash & (unsigned long long)(slots - 1));
    for (; table[at]; at = (at + 1) & (slots - 1))
        if (table[at] == hash)
            return 0;
    table[at] = hash;
    return 1;
}

// Returns 1 when name was not counted before (or when there is no memory
// to tell), and remembers it.
static int CountFirstTime(const WCHAR* name)
{
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (; *name; name++)
        hash = (hash ^ *name) * 1099511628211ull;
    hash |= 1;  // 0 marks a free slot
    if (2 * (CountedUsed + 1) > CountedSlots) {
        int slots = CountedSlots ? 2 * CountedSlots : 64;
        unsigned long long* table = (unsigned long long*)HeapAlloc(
            GetProcessHeap(), HEAP_ZERO_MEMORY, slots * sizeof *table);
        if (!table)
            return 1;
        for (int i = 0; i < CountedSlots; i++)
            if (Counted[i])
                CountedPut(table, slots, Counted[i]);
        int used = CountedUsed;
        CountedReset();
        Counted = table;
        CountedSlots = slots;
        CountedUsed = used;
    }
    if (!CountedPut(Counted, CountedSlots, hash))
        return 0;
    CountedUsed++;
    return 1;
}

void OutName(int stream, const WCHAR* name)
{
    if (OutWide(stream, name) > 0 && CountFirstTime(name))
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

void OutProblem(const char* text, const WCHAR* name)
{
    OutAscii(OutErr, "makepatch: %s", text);
    OutName(OutErr, name);
    OutAscii(OutErr, "\r\n");
}

void OutFailure(const char* what, const WCHAR* path, DWORD code)
{
    OutAscii(OutErr, "makepatch: %s ", what);
    OutName(OutErr, path);
    OutAscii(OutErr, ": ");
    OutSystemMessage(OutErr, code);
    OutAscii(OutErr, "\r\n");
}
