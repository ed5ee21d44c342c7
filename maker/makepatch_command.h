#pragma once
// makepatch: the publisher's side of an update. Makes the folder "patch" that
// update.exe copies over an installation, from the old and the new
// installation of the product, and checks a patch for entries that the
// updater would fail to copy.

#include <windows.h>

enum ExitCode {
    ExitClean = 0,     // all is well
    ExitWillFail = 1,  // the check found entries that will fail, or there was nothing to write
    ExitError = 2,     // a usage or file error
};

// Runs makepatch's command line, argv[0] being the program, and returns its
// ExitCode. Prints through console_out.h: OutStart must have been called.
int MakepatchCommand(int argc, WCHAR** argv);
