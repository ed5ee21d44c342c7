// makepatch.exe: its command line, read as wide text so that every name
// arrives exactly, run as makepatch_command.h says.
#include <windows.h>

#include <shellapi.h>

#include "maker/console_out.h"
#include "maker/makepatch_command.h"

int main()
{
    OutStart();
    int argc = 0;
    WCHAR** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        OutAscii(OutErr, "makepatch: cannot read the command line\r\n");
        return ExitError;
    }
    int rc = MakepatchCommand(argc, argv);
    LocalFree(argv);
    return rc;
}
