#pragma once
// The updater's state machine and its progress log. The dialog only writes
// phase and abort_requested; UpdateTick, called once per idle pass of the
// main loop, does all copying, counting and reporting, one file per pass.

#include <windows.h>
#include <stdint.h>

#include "app/copy_walker.h"

// Size of the progress log: 1,048,574 bytes of text and the terminator.
const int LogTextSize = 1048575;
// Size of one log line: 255 bytes and the terminator; longer lines are cut
// there, never inside a two-byte character.
const int LogLineSize = 256;

enum UpdatePhase : int32_t {
    Idle = 0,            // no run under way; Start, Quit and closing are accepted
    StartRequested = 1,  // the next pass sets up a run
    Copying = 2,         // a run is under way; each pass handles one file
    Finished = 3,        // the next pass reports and returns to Idle
    Quit = 4,            // the next pass ends the main loop
};

struct UpdateStateRecord {
    char install_dir[WalkPathSize];  // target root of every run
    HWND dialog;                     // the updater dialog, or null
    int32_t phase;                   // an UpdatePhase; other values make passes do nothing
    int32_t abort_requested;         // 1: end the run under way at the next pass
    int32_t copied_count;            // files handled in the current run, failed ones included
    CopyWalker walker;               // the current run's step-wise copy
    char work_dir[WalkPathSize];     // current directory at launch; "patch" lies in it
    char log_text[LogTextSize];      // the progress log, lines ending in CR LF
};

// The one state record of the program, zero at start.
extern UpdateStateRecord UpdateState;

// Runs one pass of the state machine. Returns 0 when the main loop must end
// (phase Quit), 1 otherwise.
int UpdateTick();

// Disables both buttons, zeroes copied_count and logs the start of a run.
void ReportCopyStart();
// Counts one handled file and logs its name verbatim.
void ReportCopyFile(const char* name);
// Enables both buttons and logs the closing summary of a run.
void ReportCopyEnd(int32_t failed);

// Appends one formatted line (wsprintfA dialect, cut to 255 bytes) and CR LF
// to target, a log of LogTextSize bytes: log_text, or null meaning log_text
// (the updater passes nothing else). When the log
// would outgrow LogTextSize, whole lines are dropped from its beginning.
// Then shows the whole log in the dialog's log control, scrolled to its
// newest line, and returns the result of SetDlgItemTextA.
int LogPrintf(char* target, const char* format, ...);
