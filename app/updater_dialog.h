#pragma once
// The updater's only window: the procedure of dialog IDD_UPDATER, which turns
// the user's commands into words of UpdateState for the state machine, and
// the routines that place the dialog and reset a progress bar.

#include <windows.h>

// Dialog procedure of IDD_UPDATER. Start, Quit and closing are requests that
// the state machine carries out at its next pass, and only while Idle; abort
// (IDC_ABORT) is honoured in any phase; IDC_BROWSE lets the user choose the
// installation folder. Returns the dialog-procedure result (0 or 1).
INT_PTR CALLBACK UpdaterDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Moves window to (x, y) and sizes it to its client area plus the running
// system's dialog frame and caption. Returns the result of SetWindowPos.
BOOL PositionDialog(HWND window, WORD x, WORD y);

// Sets a progress bar to the range 0 to n, step 1, position 0. Returns the
// previous position.
LRESULT ResetProgressBar(HWND control, WORD n);
