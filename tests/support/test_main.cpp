// Entry point of every test program: refuses to run when the process's ANSI
// code page is not 932, since every text of the program and of the tests is
// Shift-JIS and would silently turn to garbage.
#include <stdio.h>
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
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
