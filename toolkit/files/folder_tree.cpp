#include "toolkit/files/folder_tree.h"

#include "toolkit/files/file_io.h"
#include "toolkit/files/file_replace.h"
#include "toolkit/files/folder_walk.h"
#include "toolkit/system/message_box.h"
#include "toolkit/system/trace.h"

// Deletes a file entry of a listing. A file that is a reparse point (a file
// symbolic link) is deleted with DeleteFileA, which removes the link itself:
// opening it, as FileDelete does, would reach and delete its target.
static int DeleteListedFile(const char* path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return DeleteFileA(path);
    return FileDelete(path);
}

// Removes everything under folder and then folder; returns the platform's
// result of that last removal, or 0 when folder cannot be listed (an empty
// listing is no failure).
static int RemoveLevel(const char* folder)
{
    char src_buf[WalkPathSize];
    WIN32_FIND_DATAA FindFileData;

    HANDLE find;
    int opened = WalkOpen(folder, &FindFileData, &find);
    if (opened != WalkOpened)
        return opened == WalkEmpty ? RemoveDirectoryA(folder) : 0;
    do {
        int kind = WalkEntryKindOf(&FindFileData);
        if (kind == WalkSkip)
            continue;
        int fits = JoinPath(src_buf, sizeof src_buf, folder, FindFileData.cFileName);
        if (kind == WalkFile) {
            if (!fits || !DeleteListedFile(src_buf, FindFileData.dwFileAttributes))
                ShowWarning(0, "ファイル[%s]が削除できません。", src_buf);
            continue;
        }
        int removed = 0;
        if (fits)
            removed = kind == WalkLink ? RemoveDirectoryA(src_buf) : RemoveLevel(src_buf);
        if (!removed)
            ShowWarning(0, "フォルダ[%s]が削除できません。", src_buf);
    } while (FindNextFileA(find, &FindFileData));
    FindClose(find);
    return RemoveDirectoryA(folder);
}

int FolderRemoveTree(const char* folder)
{
    // An empty path would list "\*.*", the root of the current drive.
    if (!folder || !folder[0])
        return 0;
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return RemoveDirectoryA(folder);
    return RemoveLevel(folder);
}

// Copies everything under src into dst, a folder of the target tree at root;
// returns 0 when src cannot be listed (an empty listing is no failure).
static int CopyLevel(const char* root, const char* src, const char* dst, int fail_if_exists)
{
    char src_buf[WalkPathSize];
    char dst_buf[WalkPathSize];
    WIN32_FIND_DATAA FindFileData;

    HANDLE find;
    int opened = WalkOpen(src, &FindFileData, &find);
    if (opened != WalkOpened)
        return opened == WalkEmpty;
    do {
        int kind = WalkEntryKindOf(&FindFileData);
        if (kind == WalkSkip)
            continue;
        const char* name = FindFileData.cFileName;
        int src_fits = JoinPath(src_buf, sizeof src_buf, src, name);
        int dst_fits = JoinPath(dst_buf, sizeof dst_buf, dst, name);
        if (src_fits && dst_fits && kind == WalkFolder) {
            // An existing folder is no failure, unless it is a link out of
            // the tree that must not be written through: that one is traced
            // like any other entry that is not copied, and so is one that is
            // not listed (its listing pattern may not fit even where its path
            // does).
            if ((CreateDirectoryA(dst_buf, 0) || WalkMayWriteInto(root, dst_buf)) &&
                CopyLevel(root, src_buf, dst_buf, fail_if_exists))
                continue;
        } else if (src_fits && dst_fits && kind == WalkFile) {
            FileCopyReplace(src_buf, dst_buf, fail_if_exists);
        }
        TraceOut("%s\n", dst_buf);
    } while (FindNextFileA(find, &FindFileData));
    FindClose(find);
    return 1;
}

int FolderCopyTree(const char* src, const char* dst, int fail_if_exists)
{
    // An empty path would stand for the root of the current drive.
    if (!src || !dst || !src[0] || !dst[0])
        return 0;
    return CopyLevel(dst, src, dst, fail_if_exists);
}
