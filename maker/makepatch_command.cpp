#include "maker/makepatch_command.h"

#include <wchar.h>

#include "maker/code_page_text.h"
#include "maker/console_out.h"
#include "maker/patch_check.h"
#include "maker/patch_maker.h"
#include "maker/path_pattern.h"

static void PrintUsage(int stream)
{
    OutAscii(stream,
             "usage: makepatch [--exclude PATTERN]... [--unpack-dir DIR] OLD NEW PATCH [INSTALLDIR]\r\n"
             "       makepatch --check [--unpack-dir DIR] PATCH [INSTALLDIR]\r\n"
             "\r\n"
             "OLD NEW PATCH  writes into PATCH (missing or empty) every file of NEW that\r\n"
             "               OLD lacks or holds with other bytes, and every folder that OLD\r\n"
             "               lacks; lists what OLD holds and NEW lacks (the update leaves\r\n"
             "               it in place); then checks PATCH as --check does. The patch is\r\n"
             "               written as PATCH.unfinished and renamed when whole.\r\n"
             "--check PATCH  reports every entry that update.exe would fail to copy:\r\n"
             "               names outside code page 932 or that the ANSI calls cannot\r\n"
             "               reach, .~upd and .~up1-9 names, paths too long under\r\n"
             "               INSTALLDIR (and DIR, also in bytes for Windows 95, 98\r\n"
             "               and Me), links, read-only files, and a patch without files;\r\n"
             "               prints the longest folder that update.exe and patch may be\r\n"
             "               unpacked into.\r\n"
             "--exclude PATTERN  leaves out a path inside NEW (a folder with all it holds);\r\n"
             "               backslashes, * and ? as in data\\*.log; repeatable.\r\n"
             "--unpack-dir DIR  the folder users unpack update.exe and patch into, to check.\r\n");
    OutAscii(stream, "INSTALLDIR     the installation folder to check against\r\n"
                     "               (default: ");
    OutName(stream, DefaultInstallDir);
    OutAscii(stream,
             ").\r\n"
             "\r\n"
             "Exit code: 0 all is well, 1 entries will fail, 2 usage or file error.\r\n");
}

// Prints "makepatch: <text><arg>" and the usage on standard error.
static int UsageError(const char* text, const WCHAR* arg)
{
    if (text)
        OutProblem(text, arg);
    PrintUsage(OutErr);
    return ExitError;
}

// Ends a count line with how many names could not be shown as they are.
static void PrintLineEnd()
{
    int shown = OutNamesWithStandIns();
    if (shown > 0)
        OutAscii(OutStd, " (%d %s shown with %c for characters that code page %u cannot show)",
                 shown, shown == 1 ? "name" : "names", StandIn, OutCodePage());
    OutAscii(OutStd, "\r\n");
}

// Prints the longest path that the updater reads from the patch, and the
// longest folder that update.exe and the patch may be unpacked into, in
// characters and, where that is less, in bytes for Windows 95, 98 and Me.
static void PrintUnpack(const CheckResult* result)
{
    // The path in the patch is printed as a name of its own, so that it is
    // counted once with the lines that name it too.
    OutAscii(OutStd, "longest path read from the patch: patch");
    if (result->longest[0]) {
        OutAscii(OutStd, "\\");
        OutName(OutStd, result->longest);
    }
    if (result->longest_is_folder)
        OutAscii(OutStd, "\\*.*");
    if (result->unpack_chars >= 3)
        OutAscii(OutStd, " (%d characters); unpack update.exe and patch into a folder of at most "
                         "%d characters", result->longest_chars, result->unpack_chars);
    else
        OutAscii(OutStd, " (%d characters); no folder is short enough to unpack update.exe and "
                         "patch into", result->longest_chars);
    // Windows 95, 98 and Me count bytes: told where that gives less.
    if (result->unpack_bytes < result->unpack_chars && result->unpack_chars >= 3) {
        if (result->unpack_bytes >= 3)
            OutAscii(OutStd, ", on Windows 95, 98 and Me of at most %d bytes",
                     result->unpack_bytes);
        else
            OutAscii(OutStd, ", and on Windows 95, 98 and Me none is short enough");
    }
    OutAscii(OutStd, "\r\n");
}

static void PrintCheckCount(int files, int findings, const WCHAR* install_dir,
                            const WCHAR* unpack_dir)
{
    OutAscii(OutStd, "check: %d %s to copy, %d %s will fail under ", files,
             files == 1 ? "file" : "files", findings, findings == 1 ? "entry" : "entries");
    OutName(OutStd, install_dir);
    if (unpack_dir) {
        OutAscii(OutStd, ", unpacked into ");
        OutName(OutStd, unpack_dir);
    }
    PrintLineEnd();
}

static int Check(const WCHAR* patch, const WCHAR* install_dir, const WCHAR* unpack_dir)
{
    if (IsUnfinishedPatch(patch)) {
        OutProblem("an unfinished patch, left by a make that was ended midway (make the patch "
                   "again): ",
                   patch);
        return ExitError;
    }
    CheckResult result;
    int findings = CheckPatch(patch, install_dir, unpack_dir, &result);
    if (findings < 0)
        return ExitError;
    PrintUnpack(&result);
    PrintCheckCount(result.files, findings, install_dir, unpack_dir);
    return findings > 0 ? ExitWillFail : ExitClean;
}

static const char* Plural(int count, const char* one, const char* more)
{
    return count == 1 ? one : more;
}

// Makes the patch, checked before it takes its name.
static int Make(const MakeRequest* request)
{
    MakeCounts counts;
    int made = MakePatch(request, &counts);
    if (made == MakeFailed || made == MakeKept)
        return ExitError;
    if (made == MakeWritten)
        PrintUnpack(&counts.check);
    OutAscii(OutStd,
             "written: %d new and %d changed %s, %d new %s; not written: %d unchanged %s, "
             "%d excluded %s; left in place: %d %s, %d %s\r\n",
             counts.new_files, counts.changed_files,
             Plural(counts.new_files + counts.changed_files, "file", "files"), counts.new_folders,
             Plural(counts.new_folders, "folder", "folders"), counts.unchanged_files,
             Plural(counts.unchanged_files, "file", "files"), counts.excluded,
             Plural(counts.excluded, "entry", "entries"), counts.left_files,
             Plural(counts.left_files, "file", "files"), counts.left_folders,
             Plural(counts.left_folders, "folder", "folders"));
    if (made == MakeNothing) {
        OutAscii(OutStd, "nothing to write: OLD and NEW hold the same files; no patch was written");
        PrintLineEnd();
        return ExitWillFail;
    }
    int findings = counts.findings + counts.will_fail;
    PrintCheckCount(counts.check.files, findings, request->install_dir, request->unpack_dir);
    return findings > 0 ? ExitWillFail : ExitClean;
}

// Reads the options and the folders that follow them, and runs.
static int Run(int argc, WCHAR** argv, WCHAR** excludes)
{
    int check = argc > 1 && wcscmp(argv[1], L"--check") == 0;
    MakeRequest request = {};
    request.excludes = excludes;
    int at = check ? 2 : 1;
    // Options come first; a folder whose name starts with "-" is given as .\-name.
    for (; at < argc && argv[at][0] == L'-'; at++) {
        int has_value = at + 1 < argc;
        if (!check && wcscmp(argv[at], L"--exclude") == 0 && has_value) {
            if (!PatternPrepare(argv[++at]))
                return UsageError("--exclude takes a path inside NEW, with backslashes, such as "
                                  "logs or save\\*.dat: ",
                                  argv[at]);
            excludes[request.exclude_count++] = argv[at];
        } else if (wcscmp(argv[at], L"--unpack-dir") == 0 && has_value && !request.unpack_dir) {
            request.unpack_dir = argv[++at];
        } else {
            int known = wcscmp(argv[at], L"--unpack-dir") == 0 ||
                        (!check && wcscmp(argv[at], L"--exclude") == 0);
            return UsageError(known ? (has_value ? "an option given twice: "
                                                 : "an option without its value: ")
                                    : "unknown option ",
                              argv[at]);
        }
    }
    int folders = argc - at;
    if (check) {
        if (folders != 1 && folders != 2)
            return UsageError(0, 0);
        return Check(argv[at], folders == 2 ? argv[at + 1] : DefaultInstallDir,
                     request.unpack_dir);
    }
    if (folders != 3 && folders != 4)
        return UsageError(0, 0);
    request.old_root = argv[at];
    request.new_root = argv[at + 1];
    request.patch_root = argv[at + 2];
    request.install_dir = folders == 4 ? argv[at + 3] : DefaultInstallDir;
    return Make(&request);
}

int MakepatchCommand(int argc, WCHAR** argv)
{
    WCHAR** excludes = (WCHAR**)HeapAlloc(GetProcessHeap(), 0, argc * sizeof *excludes);
    if (!excludes) {
        OutAscii(OutErr, "makepatch: cannot read the command line\r\n");
        return ExitError;
    }
    int rc;
    if (argc == 2 && (wcscmp(argv[1], L"--help") == 0 || wcscmp(argv[1], L"/?") == 0)) {
        PrintUsage(OutStd);
        rc = ExitClean;
    } else {
        rc = Run(argc, argv, excludes);
    }
    HeapFree(GetProcessHeap(), 0, excludes);
    return rc;
}
