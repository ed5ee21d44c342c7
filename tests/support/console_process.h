#pragma once
// Runs a console program of this build to its end as someone runs it from a
// command prompt: its arguments quoted on the command line, its standard
// output and standard error caught whole.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Windows path of the makepatch.exe of this build.
std::string MakepatchExePath();

struct ConsoleRun {
    long exit_code = -1;  // -1: not started, or still running at the timeout (then ended)
    bool ended = false;   // ended by the caller's condition, before its own end
    std::string out;      // standard output, the bytes as written
    std::string err;      // standard error
};

// Starts exe with args, each quoted, and waits for its end. It shares this
// process's console, if there is one, unless creation_flags asks for a new
// one (CREATE_NEW_CONSOLE). When end_when is given, it is asked about every
// millisecond while the program runs, and the program is ended as soon as
// it answers true, as a user ends a program midway.
ConsoleRun RunConsoleProgram(const std::string& exe, const std::vector<std::string>& args,
                             DWORD creation_flags = 0, DWORD timeout_ms = 300000,
                             const std::function<bool()>& end_when = nullptr);
