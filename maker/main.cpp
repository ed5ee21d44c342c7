// makepatch: the publisher's side of an update. Makes the folder "patch" that
// update.exe copies over an installation, from the old and the new
// installation of the product, and checks a patch for entries that the
// updater would fail to copy.
//
// Exit codes: 0 all is well; 1 the check found entries that will fail;
// 2 a usage or file error.
#include <windows.h>

#include <shellapi.h>
#include <wchar.h>

#include "maker/code_page_text.h"
#include "maker/console_out.h"
#include "maker/patch_check.h"
#include "maker/patch_maker.h"

enum ExitCode {
    ExitClean = 0,
    ExitWillFail = 1,
    ExitError = 2,
};

static void PrintUsage(int stream)
{
    OutAscii(stream,
             "usage: makepatch OLD NEW PATCH [INSTALLDIR]\r\n"
             "       makepatch --check PATCH [INSTALLDIR]\r\n"
             "\r\n"
             "OLD NEW PATCH  writes into PATCH (missing or empty) every file of NEW that\r\n"
             "               OLD lacks or holds with other bytes, and every folder that OLD\r\n"
             "               lacks; lists the files of OLD that NEW lacks (the update\r\n"
             "               leaves them in place); then checks PATCH as --check does.\r\n"
             "--check PATCH  reports every entry that update.exe would fail to copy:\r\n"
             "               names outside code page 932, paths too long under\r\n"
             "               INSTALLDIR, links, and a patch without files.\r\n");
    OutAscii(stream, "INSTALLDIR     the installation folder to check against\r\n"
                     "               (default: ");
    OutName(stream, DefaultInstallDir);
    OutAscii(stream,
             ").\r\n"
             "\r\n"
             "Exit code: 0 all is well, 1 entries will fail, 2 usage or file error.\r\n");
}

static int UsageError(const WCHAR* wrong)
{
    if (wrong) {
        OutAscii(OutErr, "makepatch: unknown option ");
        OutName(OutErr, wrong);
        OutAscii(OutErr, "\r\n");
    }
    PrintUsage(OutErr);
    return ExitError;
}

// Prints the check's count line, ending with how many names could not be
// shown as they are.
static void PrintCheckCount(int files, int findings, const WCHAR* install_dir)
{
    OutAscii(OutStd, "check: %d %s to copy, %d %s will fail under ", files,
             files == 1 ? "file" : "files", findings, findings == 1 ? "entry" : "entries");
    OutName(OutStd, install_dir);
    int shown = OutNamesWithStandIns();
    if (shown > 0)
        OutAscii(OutStd, " (%d %s shown with %c for characters that code page %u cannot show)",
                 shown, shown == 1 ? "name" : "names", StandIn, OutCodePage());
    OutAscii(OutStd, "\r\n");
}

static int Check(const WCHAR* patch, const WCHAR* install_dir)
{
    int files = 0;
    int findings = CheckPatch(patch, install_dir, &files);
    if (findings < 0)
        return ExitError;
    PrintCheckCount(files, findings, install_dir);
    return findings > 0 ? ExitWillFail : ExitClean;
}

// Makes the patch, then checks what was written.
static int Make(const WCHAR* old_root, const WCHAR* new_root, const WCHAR* patch,
                const WCHAR* install_dir)
{
    MakeCounts counts;
    if (!MakePatch(old_root, new_root, patch, &counts))
        return ExitError;
    int files = 0;
    int findings = CheckPatch(patch, install_dir, &files);
    if (findings < 0)
        return ExitError;
    OutAscii(OutStd,
             "written: %d new and %d changed %s, %d new %s; not written: %d unchanged %s; "
             "left in place: %d %s\r\n",
             counts.new_files, counts.changed_files,
             counts.new_files + counts.changed_files == 1 ? "file" : "files", counts.new_folders,
             counts.new_folders == 1 ? "folder" : "folders", counts.unchanged_files,
             counts.unchanged_files == 1 ? "file" : "files", counts.left_in_place,
             counts.left_in_place == 1 ? "file" : "files");
    findings += counts.will_fail;
    PrintCheckCount(files, findings, install_dir);
    return findings > 0 ? ExitWillFail : ExitClean;
}

int main()
{
    OutStart();
    int argc = 0;
    WCHAR** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        OutAscii(OutErr, "makepatch: cannot read the command line\r\n");
        return ExitError;
    }
    const WCHAR* first = argc > 1 ? argv[1] : L"";
    int rc;
    if (argc == 2 && (wcscmp(first, L"--help") == 0 || wcscmp(first, L"/?") == 0)) {
        PrintUsage(OutStd);
        rc = ExitClean;
    } else if (wcscmp(first, L"--check") == 0) {
        rc = argc == 3 || argc == 4 ? Check(argv[2], argc == 4 ? argv[3] : DefaultInstallDir)
                                    : UsageError(0);
    } else if (first[0] == L'-') {
        rc = UsageError(first);  // a folder named so is given as .\-name
    } else if (argc == 4 || argc == 5) {
        rc = Make(argv[1], argv[2], argv[3], argc == 5 ? argv[4] : DefaultInstallDir);
    } else {
        rc = UsageError(0);
    }
    LocalFree(argv);
    return rc;
}
