#include "toolkit/system/system_libraries.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/console_process.h"
#include "tests/support/updater_process.h"

// A delay-loaded call whose DLL or function is missing ends the program with
// the delay-load facility's code for it, never by a jump to address 0 (an
// access violation, 0xC0000005), and a present one reaches the system's
// function. The probe calls the helper as an import's first call does, then
// jumps to what it returned.
TEST(SystemLibraries, DelayLoadedCallsReachTheFunctionOrEndWithTheirCode)
{
    // A name that fits no path in the system folder (the platform's limit).
    static const std::string Long = std::string(250, 'x') + ".dll";
    static const struct {
        const char* dll;
        const char* function;
        long exit_code;
    } Calls[] = {
        {"kernel32.dll", "GetTickCount", 0},
        {"no_such_library.dll", "GetTickCount", (long)0xC06D007E},
        {"kernel32.dll", "NoSuchFunction", (long)0xC06D007F},
        {Long.c_str(), "GetTickCount", (long)0xC06D007E},
    };
    for (const auto& call : Calls) {
        ConsoleRun r = RunConsoleProgram(BesideTestProgram("guard_probe.exe"),
                                         {"delay", call.dll, call.function});
        EXPECT_EQ(call.exit_code, r.exit_code)
            << call.dll << "!" << call.function << std::hex << " 0x" << r.exit_code << ": " << r.err;
    }
}
