#include "tests/support/console_process.h"

#include "tests/support/temp_dir.h"
#include "tests/support/wine_host.h"

std::string MakepatchExePath() { return WindowsPathOfUnix(MAKEPATCH_EXE_UNIX_PATH); }

// One argument as the command-line parser reads it back: in quotes, with the
// backslashes before the closing quote doubled. The second byte of a
// two-byte character (表 ends in 0x5C) is no backslash.
static std::string Quoted(const std::string& arg)
{
    size_t backslashes = 0;
    for (size_t i = 0; i < arg.size(); i++) {
        if (IsDBCSLeadByte((BYTE)arg[i]) && i + 1 < arg.size()) {
            i++;
            backslashes = 0;
        } else {
            backslashes = arg[i] == '\\' ? backslashes + 1 : 0;
        }
    }
    return "\"" + arg + std::string(backslashes, '\\') + "\"";
}

// A new file that a child can inherit as a standard handle.
static HANDLE InheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

ConsoleRun RunConsoleProgram(const std::string& exe, const std::vector<std::string>& args,
                             DWORD creation_flags, DWORD timeout_ms,
                             const std::function<bool()>& end_when)
{
    ConsoleRun run;
    TempDir dir;
    std::string line = Quoted(exe);
    for (const std::string& arg : args)
        line += " " + Quoted(arg);
    HANDLE out = InheritableFile(dir / "out");
    HANDLE err = InheritableFile(dir / "err");
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                            OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi = {};
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, TRUE, creation_flags, nullptr,
                       nullptr, &si, &pi)) {
        DWORD start = GetTickCount();
        DWORD waited;
        while ((waited = WaitForSingleObject(pi.hProcess, end_when ? 1 : timeout_ms)) ==
                   WAIT_TIMEOUT &&
               GetTickCount() - start < timeout_ms) {
            if (end_when && end_when()) {
                run.ended = TerminateProcess(pi.hProcess, 99) != FALSE;
                WaitForSingleObject(pi.hProcess, 5000);
                break;
            }
        }
        if (waited == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            run.exit_code = (long)code;
        } else if (!run.ended) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    for (HANDLE handle : {in, out, err})
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    run.out = ReadFileText(dir / "out");
    run.err = ReadFileText(dir / "err");
    return run;
}
