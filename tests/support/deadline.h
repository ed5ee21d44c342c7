#pragma once
// A time limit for one test, kept by the process: when the scope that holds a
// Deadline is not left in time, the whole program ends as a failure that
// names the test. For faults that make a loop run on forever, which no check
// inside the test could report; a thread stuck in a loop cannot be stopped
// safely, so the process ends instead.

#include <windows.h>

#include <string>

class Deadline {
public:
    explicit Deadline(DWORD limit_ms);
    ~Deadline();
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    static DWORD WINAPI Watch(void* self);

    DWORD limit_ms_;
    std::string test_;
    HANDLE left_ = nullptr;  // set when the scope is left
    HANDLE thread_ = nullptr;
};
