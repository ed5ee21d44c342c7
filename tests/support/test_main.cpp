// Entry point of every test program: refuses to run when the process's ANSI
// code page is not 932, since every text of the program and of the tests is
// Shift-JIS and would silently turn to garbage.
#include <stdio.h>
#include <windows.h>

#include <gtest/gtest.h>

// Ends the program at once, with the exception code as its exit code, when
// anything goes unhandled, such as the trap of an undefined-behaviour check.
// Wine would otherwise start its debugger, whose crash dialog waits under the
// virtual display until the test times out, and whose end leaves exit code 0.
static LONG WINAPI EndAtOnce(EXCEPTION_POINTERS* info)
{
    DWORD code = info->ExceptionRecord->ExceptionCode;
    fprintf(stderr, "FATAL: unhandled exception 0x%08lx\n", code);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(EndAtOnce);
    UINT acp = GetACP();
    if (acp != 932) {
        fprintf(stderr,
                "FATAL: the ANSI code page is %u, not 932 (Shift-JIS).\n"
                "Run under Wine with the ja_JP.UTF-8 locale generated and LC_ALL=ja_JP.UTF-8\n"
                "(scripts/test does both).\n",
                acp);
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
