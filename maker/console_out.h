#pragma once
// What the publisher's tools print: lines to standard output or standard
// error in the console's output code page (the OEM code page when there is
// no console), also when the output goes to a file or a pipe. Fixed texts
// are plain ASCII, the same bytes in every such code page; names and system
// messages are converted, each character that the code page cannot show
// printed as StandIn (code_page_text.h), and the names so shown are counted.

#include <windows.h>

enum OutStream {
    OutStd = 0,  // standard output: the report
    OutErr = 1,  // standard error: usage and failures
};

// Picks the code page and the handles; call once before printing (again to
// pick up handles that were changed) and resets the count of stand-ins.
void OutStart();

// The code page that output is written in.
UINT OutCodePage();

// Prints ASCII text formatted in the wsprintfA dialect (at most 1,023 bytes).
void OutAscii(int stream, const char* format, ...);

// Prints wide text; characters the code page cannot show become StandIn.
// Returns the number of stand-ins written.
int OutWide(int stream, const WCHAR* text);

// Prints a name or relative path as OutWide does and counts it when it
// needed a stand-in, once however often the same text is printed.
void OutName(int stream, const WCHAR* name);

// Different names printed with a stand-in since OutStart.
int OutNamesWithStandIns();

// Prints the system's message for code ("error N" when it has none), on
// one line without its line end.
void OutSystemMessage(int stream, DWORD code);

// Prints "will fail: <path>: <reason>" as a line on standard output, path
// relative to a tree's root, with a trailing "\" for a folder; reason ASCII.
void OutWillFail(const WCHAR* path, int is_folder, const char* reason);

// Prints "makepatch: <what> <path>: <system message>" as a line on standard
// error.
void OutFailure(const char* what, const WCHAR* path, DWORD code);

// Prints "makepatch: <text><name>" as a line on standard error; text ASCII.
void OutProblem(const char* text, const WCHAR* name);
