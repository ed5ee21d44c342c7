#include "maker/file_compare.h"

#include <string.h>

static char FirstBlock[CompareBlockSize];
static char SecondBlock[CompareBlockSize];

static HANDLE OpenForReading(const WCHAR* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, 0);
}

// Reads exactly len bytes, fewer only at the end of the file. Returns the
// bytes read, or -1 when a read fails.
static long ReadBlock(HANDLE file, char* block, DWORD len)
{
    DWORD total = 0;
    while (total < len) {
        DWORD got = 0;
        if (!ReadFile(file, block + total, len - total, &got, 0))
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return (long)total;
}

// Compares the two open files, which have size bytes each.
static int CompareOpen(HANDLE files[2], LONGLONG size, int* failed)
{
    char* blocks[2] = {FirstBlock, SecondBlock};
    for (LONGLONG left = size; left > 0;) {
        DWORD want = left < (LONGLONG)CompareBlockSize ? (DWORD)left : CompareBlockSize;
        for (int i = 0; i < 2; i++) {
            long got = ReadBlock(files[i], blocks[i], want);
            if (got < 0) {
                *failed = i;
                return -1;
            }
            if ((DWORD)got != want)
                return 0;  // shorter than its size said: changed under us
        }
        if (memcmp(FirstBlock, SecondBlock, want) != 0)
            return 0;
        left -= want;
    }
    return 1;
}

int SameContent(const WCHAR* first, const WCHAR* second, int* failed)
{
    const WCHAR* paths[2] = {first, second};
    HANDLE files[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
    LARGE_INTEGER sizes[2];
    int rc = 1;
    for (int i = 0; i < 2 && rc == 1; i++) {
        files[i] = OpenForReading(paths[i]);
        if (files[i] == INVALID_HANDLE_VALUE || !GetFileSizeEx(files[i], &sizes[i])) {
            *failed = i;
            rc = -1;
        }
    }
    if (rc == 1 && sizes[0].QuadPart != sizes[1].QuadPart)
        rc = 0;
    if (rc == 1)
        rc = CompareOpen(files, sizes[0].QuadPart, failed);
    DWORD error = GetLastError();
    for (int i = 0; i < 2; i++)
        if (files[i] != INVALID_HANDLE_VALUE)
            CloseHandle(files[i]);
    SetLastError(error);
    return rc;
}
