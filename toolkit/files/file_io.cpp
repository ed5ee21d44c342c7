#include "toolkit/files/file_io.h"

#include "toolkit/system/trace.h"

// Opens path with the given access, sharing, open rule and flags; returns
// INVALID_HANDLE_VALUE on failure, also for a null path.
static HANDLE OpenPath(const char* path, DWORD access, DWORD share, DWORD rule, DWORD flags)
{
    if (!path)
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, access, share, 0, rule, FILE_ATTRIBUTE_NORMAL | flags, 0);
}

static HANDLE OpenForReading(const char* path)
{
    return OpenPath(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
}

// Moves the file position; returns 1 when the move succeeded. A failed move
// must stop the transfer: it would otherwise take place wherever the
// position was (the start of the file).
static int MoveTo(HANDLE file, LONG distance, DWORD method)
{
    SetLastError(NO_ERROR);
    DWORD pos = SetFilePointer(file, distance, 0, method);
    return pos != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// Reads the size of an open file as low and high halves; returns 0 when the
// platform cannot tell it.
static int SizeOf(HANDLE file, DWORD* low, DWORD* high)
{
    SetLastError(NO_ERROR);
    *high = 0;
    *low = GetFileSize(file, high);
    return *low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
}

// Opens path for writing, not shared, with the open rule, moves to distance
// from method and writes. Returns the bytes the platform reports written.
static DWORD WriteWith(const char* path, DWORD rule, DWORD method, LONG distance,
                       const void* data, DWORD length)
{
    HANDLE file = OpenPath(path, GENERIC_WRITE, 0, rule, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    if (MoveTo(file, distance, method))
        WriteFile(file, data, length, &written, 0);
    CloseHandle(file);
    return written;
}

// Opens path for reading, moves to offset and reads. Returns the bytes the
// platform reports read.
static DWORD ReadWith(const char* path, LONG offset, void* buf, DWORD length)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    if (MoveTo(file, offset, FILE_BEGIN))
        ReadFile(file, buf, length, &got, 0);
    CloseHandle(file);
    return got;
}

DWORD FileGetSize(const char* path)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD low, high;
    int known = SizeOf(file, &low, &high);
    CloseHandle(file);
    return known && high == 0 ? low : 0;
}

DWORD FileWriteAt(const char* path, const void* data, LONG offset, DWORD length)
{
    if (offset < 0)
        return 0;
    return WriteWith(path, OPEN_ALWAYS, FILE_BEGIN, offset, data, length);
}

DWORD FileWriteNew(const char* path, const void* data, DWORD length)
{
    return WriteWith(path, CREATE_ALWAYS, FILE_BEGIN, 0, data, length);
}

DWORD FileAppend(const char* path, const void* data, DWORD length)
{
    return WriteWith(path, OPEN_ALWAYS, FILE_END, 0, data, length);
}

DWORD FileReadAt(const char* path, void* buf, LONG offset, DWORD length)
{
    if (offset < 0)
        return 0;
    return ReadWith(path, offset, buf, length);
}

DWORD FileRead(const char* path, void* buf, DWORD length)
{
    return ReadWith(path, 0, buf, length);
}

DWORD FileReadAll(const char* path, char** block)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD low, high;
    if (!SizeOf(file, &low, &high)) {
        CloseHandle(file);
        return 0;
    }
    DWORD got = 0;
    int handed_out = 0;
    if (low != 0 && high == 0) {
        char* mem = (char*)GlobalAlloc(GPTR, low);
        *block = mem;
        if (mem) {
            handed_out = 1;
            ReadFile(file, mem, low, &got, 0);
        }
    }
    CloseHandle(file);
    if (high != 0 || got != low)
        TraceOut("ファイルサイズと読みこみサイズが違うなり、何ゆえ？");
    return handed_out ? low : 0;
}

int FileDelete(const char* path)
{
    HANDLE file = OpenPath(path, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

int FileExists(const char* path)
{
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}
