#include "toolkit/system/stack_guard.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/console_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/updater_process.h"

static std::string GuardProbe()
{
    return BesideTestProgram("guard_probe.exe");
}

// The canary that the probe prints.
static unsigned long long ProbeCanary()
{
    ConsoleRun run = RunConsoleProgram(GuardProbe(), {});
    EXPECT_EQ(0, run.exit_code) << run.err;
    return strtoull(run.out.c_str(), nullptr, 16);
}

// The address of the symbol in update.exe's link map, less the image base
// the map names: its place relative to wherever the module is loaded.
static unsigned long long MapOffset(const std::string& map, const char* symbol)
{
    unsigned long long base = 0, address = 0;
    size_t at = map.find("__image_base__ = 0x");
    if (at != std::string::npos)
        base = strtoull(map.c_str() + at + 19, nullptr, 16);
    // The symbol's own line: its address, then its name alone.
    for (size_t line = 0; line < map.size(); line = map.find('\n', line) + 1) {
        unsigned long long value;
        char name[64];
        int used = 0;
        if (sscanf(map.c_str() + line, " 0x%llx %63s%n", &value, name, &used) == 2 &&
            strcmp(name, symbol) == 0 && strchr("\r\n", map[line + used]))
            address = value;
        if (map.find('\n', line) == std::string::npos)
            break;
    }
    return base && address > base ? address - base : 0;
}

// The canary of a running update.exe, read from the process while its
// warning box waits (no installation folder): nothing in update.exe prints it.
static unsigned long long UpdateCanary()
{
    std::string map = ReadFileText(UpdateExePath() + ".map");
    unsigned long long offset = MapOffset(map, "__stack_chk_guard");
    EXPECT_NE(0u, offset) << "__stack_chk_guard is not in " << UpdateExePath() << ".map";
    EraseInstallDir();
    UpdaterProcess updater;
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    EXPECT_TRUE(updater.Start(UpdateExePath(), folder)) << GetLastError();
    HWND box = updater.WaitMessageBox();
    EXPECT_NE(nullptr, box) << "no warning box";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, updater.pid());
    MODULEENTRY32 module = {};
    module.dwSize = sizeof module;
    EXPECT_TRUE(snapshot != INVALID_HANDLE_VALUE && Module32First(snapshot, &module))
        << GetLastError();
    if (snapshot != INVALID_HANDLE_VALUE)
        CloseHandle(snapshot);
    uintptr_t canary = 0;
    SIZE_T read = 0;
    EXPECT_TRUE(offset && ReadProcessMemory(updater.process(), module.modBaseAddr + offset, &canary,
                                            sizeof canary, &read))
        << GetLastError();
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0, updater.WaitExit());
    return canary;
}

// Each process gets a canary of its own, never zero, with a zero low byte,
// update.exe (its own entry point, no C runtime) as much as a program that
// runs the C runtime's start-up; an overrun of a protected frame or of a
// checked copy still ends the process with the overrun status, now that the
// program keeps the canary itself.
TEST(StackGuard, SeededPerProcessAndStillStopsOverruns)
{
    static const struct {
        const char* program;
        unsigned long long (*canary)();
    } Programs[] = {
        {"guard_probe.exe", ProbeCanary},
        {"update.exe", UpdateCanary},
    };
    for (const auto& program : Programs) {
        unsigned long long a = program.canary();
        unsigned long long b = program.canary();
        EXPECT_NE(0u, a) << program.program;
        EXPECT_EQ(0u, a & 0xFF) << program.program << std::hex << " 0x" << a;
        EXPECT_NE(a, b) << program.program << std::hex << " 0x" << a;
    }

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
