#include "tests/support/deadline.h"

#include <stdio.h>

#include <gtest/gtest.h>

Deadline::Deadline(DWORD limit_ms) : limit_ms_(limit_ms)
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    test_ = info ? std::string(info->test_suite_name()) + "." + info->name() : "(outside a test)";
    SetLastError(0xdeadbeef);
    left_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (left_)
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    EXPECT_TRUE(thread_) << "no time limit could be set: " << GetLastError();
}

Deadline::~Deadline()
{
    if (thread_) {
        SetEvent(left_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (left_)
        CloseHandle(left_);
}

DWORD WINAPI Deadline::Watch(void* self)
{
    Deadline* deadline = (Deadline*)self;
    if (WaitForSingleObject(deadline->left_, deadline->limit_ms_) != WAIT_TIMEOUT)
        return 0;
    // GoogleTest's own line for a failed test, so that the output names it.
    printf("[  FAILED  ] %s: still running after %lu ms\n", deadline->test_.c_str(),
           (unsigned long)deadline->limit_ms_);
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    return 1;
}
