#include "app/copy_walker.h"

#include <string.h>

#include "toolkit/data/dbcs_text.h"
#include "toolkit/files/file_replace.h"
#include "toolkit/system/trace.h"

int CopyWalkerInit(const char* src_root, const char* dst_root, int fail_if_exists,
                   CopyWalker* walker)
{
    size_t src_len = strlen(src_root);
    size_t dst_len = strlen(dst_root);
    walker->fail_if_exists = fail_if_exists;
    walker->seen = 0;
    walker->target = 0;
    if (src_len == 0 || dst_len == 0 || src_len >= WalkPathSize || dst_len >= WalkPathSize) {
        // An empty root would make the walk list the drive root; a cut one
        // would copy from or into another folder. Neither is attempted.
        walker->src_root[0] = 0;
        walker->dst_root[0] = 0;
        walker->failed = 1;
        return 0;
    }
    memcpy(walker->src_root, src_root, src_len + 1);
    memcpy(walker->dst_root, dst_root, dst_len + 1);
    walker->failed = 0;
    return 1;
}

int CopyWalkerStep(CopyWalker* walker)
{
    walker->seen = 0;
    walker->target++;
    if (walker->src_root[0] == 0 || walker->dst_root[0] == 0)
        return 0;
    return CopyWalkerVisit(walker->src_root, walker->dst_root, walker) > 0;
}

// Puts the name of the step's entry, relative to dst_root, in current_name.
// dst_folder is dst_root itself or a path below it.
static void SetCurrentName(CopyWalker* walker, const char* dst_folder, const char* name)
{
    size_t root_len = strlen(walker->dst_root);
    if (dst_folder[root_len] == 0)
        DbcsCopyCut(walker->current_name, WalkPathSize, name);
    else
        JoinPath(walker->current_name, WalkPathSize, dst_folder + root_len + 1, name);
}

// Visits one source folder and the matching target folder within a step.
// Where blocked is set, the target folder is one that must not be written
// into (WalkMayWriteInto): its files are numbered, and each fails without
// a write, and no folder is made below it.
static int VisitLevel(const char* src_folder, const char* dst_folder, int blocked,
                      CopyWalker* walker)
{
    char src_buf[WalkPathSize];
    char dst_buf[WalkPathSize];
    WIN32_FIND_DATAA FindFileData;

    HANDLE find;
    int opened = WalkOpen(src_folder, &FindFileData, &find);
    if (opened != WalkOpened)
        return opened == WalkEmpty ? 0 : -1;
    int reached = 0;
    do {
        int kind = WalkEntryKindOf(&FindFileData);
        if (kind == WalkSkip)
            continue;
        const char* name = FindFileData.cFileName;
        if (kind == WalkFolder) {
            int src_fits = JoinPath(src_buf, sizeof src_buf, src_folder, name);
            int dst_fits = JoinPath(dst_buf, sizeof dst_buf, dst_folder, name);
            if (src_fits && dst_fits) {
                // A folder made here is a plain one; one that was there
                // already (an existing folder is no failure) may be a link.
                int sub_blocked = blocked || (!CreateDirectoryA(dst_buf, 0) &&
                                              !WalkMayWriteInto(walker->dst_root, dst_buf));
                int rc = VisitLevel(src_buf, dst_buf, sub_blocked, walker);
                if (rc > 0) {
                    reached = 1;
                    break;
                }
                if (rc == 0)
                    continue;
            }
            // A folder that cannot be walked into is numbered like a file,
            // so that its loss is reported once as a failed copy.
        }
        walker->seen++;
        if (walker->seen == walker->target) {
            int src_fits = JoinPath(src_buf, sizeof src_buf, src_folder, name);
            int dst_fits = JoinPath(dst_buf, sizeof dst_buf, dst_folder, name);
            if (blocked || kind != WalkFile || !src_fits || !dst_fits ||
                !FileCopyReplace(src_buf, dst_buf, walker->fail_if_exists))
                walker->failed++;
            SetCurrentName(walker, dst_folder, name);
            TraceOut("%s\n", dst_buf);
            reached = 1;
            break;
        }
    } while (FindNextFileA(find, &FindFileData));
    FindClose(find);
    return reached;
}

int CopyWalkerVisit(const char* src_folder, const char* dst_folder, CopyWalker* walker)
{
    return VisitLevel(src_folder, dst_folder, 0, walker);
}
