#pragma once
// Trace output to the debugger channel (OutputDebugStringA), unadorned: no
// prefix, no time, no line end of its own.

#include <windows.h>

// Size of one trace text: 1,023 bytes and the terminator. Longer texts are
// cut there, never inside a two-byte character.
const int TraceTextSize = 1024;

// Formats (wsprintfA dialect) and sends the text. Callers end their formats
// with "\n" where they want a line.
void TraceOut(const char* format, ...);

// Traces "err:%s\n" with the system's message text for code; when the system
// has no text for it, traces "err:%lu\n" with the code itself.
void TraceSystemError(DWORD code);
