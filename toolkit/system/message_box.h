#pragma once
// Modal message boxes with formatted text, and the program-wide window slots:
// the owner window that boxes fall back on (and that window placement
// measures against) and one auxiliary handle. Texts are code page 932.

#include <windows.h>

// Size of a box's text buffer: 511 bytes and the terminator. Longer texts are
// cut there, never inside a two-byte character.
const int MessageTextSize = 512;

// Stores the program's owner window (none by default).
void SetOwnerWindow(HWND owner);
// Returns the owner window stored last, or null.
HWND GetOwnerWindow();

// Stores the auxiliary handle; nothing in the toolkit reads it.
void SetAuxHandle(HANDLE handle);
// Returns the auxiliary handle stored last, or null when never set.
HANDLE GetAuxHandle();

// Shows a modal box, always brought to the foreground (MB_SETFOREGROUND is
// added to type). owner null means the owner window slot. format follows
// wsprintfA. Returns the id of the button pressed, or 0 when no box could be
// shown.
int ShowMessageBox(HWND owner, UINT type, const char* caption, const char* format, ...);

// Shows the OK-only warning box captioned "警告". The formatted text is shown
// verbatim: a percent sign brought in by a value is not formatted again.
// Returns IDOK, or 0 when no box could be shown.
int ShowWarning(HWND owner, const char* format, ...);

// Shows an OK/Cancel box with the given caption. Returns IDOK, IDCANCEL, or 0
// when no box could be shown.
int AskOkCancel(HWND owner, const char* caption, const char* format, ...);
