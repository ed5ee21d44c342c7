#include "toolkit/system/stack_guard.h"

#include <stdlib.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/console_process.h"
#include "tests/support/updater_process.h"

static std::string GuardProbe()
{
    return BesideTestProgram("guard_probe.exe");
}

// Each process gets a canary of its own, never zero, with a zero low byte; an
// overrun of a protected frame or of a checked copy still ends the process
// with the overrun status, now that the program keeps the canary itself.
TEST(StackGuard, SeededPerProcessAndStillStopsOverruns)
{
    ConsoleRun first = RunConsoleProgram(GuardProbe(), {});
    ConsoleRun second = RunConsoleProgram(GuardProbe(), {});
    ASSERT_EQ(0, first.exit_code) << first.err;
    ASSERT_EQ(0, second.exit_code) << second.err;
    unsigned long long a = strtoull(first.out.c_str(), nullptr, 16);
    unsigned long long b = strtoull(second.out.c_str(), nullptr, 16);
    EXPECT_NE(0u, a) << first.out;
    EXPECT_EQ(0u, a & 0xFF) << first.out;
    EXPECT_NE(a, b) << first.out << second.out;

    static const struct {
        std::vector<std::string> args;
        long exit_code;
    } Runs[] = {
        {{"overrun", "8"}, 'x'},
        {{"overrun", "64"}, (long)STATUS_STACK_BUFFER_OVERRUN},
        {{"checked", "1234567"}, '1'},
        {{"checked", "12345678"}, (long)STATUS_STACK_BUFFER_OVERRUN},
    };
    for (const auto& run : Runs) {
        ConsoleRun r = RunConsoleProgram(GuardProbe(), run.args);
        EXPECT_EQ(run.exit_code, r.exit_code) << run.args[0] << " " << run.args[1] << ": " << r.err;
    }
}
