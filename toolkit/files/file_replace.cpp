#include "toolkit/files/file_replace.h"

#include "toolkit/data/dbcs_text.h"
#include "toolkit/files/folder_walk.h"

// The longest path that the platform's ANSI file calls take, in characters:
// MAX_PATH with its terminator.
const int AnsiPathChars = MAX_PATH - 1;
// The longest name of one file, in characters, on NTFS and FAT with long names.
const int NameChars = 255;

// Counts the characters of text, a two-byte character as one.
static int CharCount(const char* text)
{
    int count = 0;
    for (int n; (n = DbcsCharLength(text)) != 0; text += n)
        count++;
    return count;
}

// Writes the temporary path of dst into temp, which holds size bytes.
// Returns 1 when it fits the buffer and the platform's limits, else 0.
static int TempPathOf(char* temp, int size, const char* dst)
{
    if (!ConcatPath(temp, size, dst, ReplaceSuffix, ""))
        return 0;
    const char* slash = DbcsFindLastChar(temp, '\\');
    const char* name = slash ? slash + 1 : temp;
    return CharCount(temp) <= AnsiPathChars && CharCount(name) <= NameChars;
}

// Removes a temporary file, read-only or not (a copy of a read-only source
// is read-only itself), keeping the caller's error code.
static void RemoveTemp(const char* temp)
{
    DWORD error = GetLastError();
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(temp);
    SetLastError(error);
}

int FileCopyReplace(const char* src, const char* dst, int fail_if_exists)
{
    DWORD attributes = GetFileAttributesA(dst);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (fail_if_exists) {
            SetLastError(ERROR_FILE_EXISTS);
            return 0;
        }
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    char temp[WalkPathSize];
    if (!TempPathOf(temp, sizeof temp, dst))
        return CopyFileA(src, dst, fail_if_exists);

    // A temporary file left read-only or hidden by an interrupted copy would
    // refuse being overwritten.
    SetFileAttributesA(temp, FILE_ATTRIBUTE_NORMAL);
    if (!CopyFileA(src, temp, FALSE)) {
        RemoveTemp(temp);  // a part may have been written
        return 0;
    }
    DWORD flags = MOVEFILE_WRITE_THROUGH | (fail_if_exists ? 0 : MOVEFILE_REPLACE_EXISTING);
    if (MoveFileExA(temp, dst, flags))
        return 1;
    DWORD error = GetLastError();
    RemoveTemp(temp);
    if (error != ERROR_CALL_NOT_IMPLEMENTED)
        return 0;
    // Windows 95, 98 and Me: no move over an existing file in one step.
    return CopyFileA(src, dst, fail_if_exists);
}
