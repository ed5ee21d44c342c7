#pragma once
// Receives this process's debugger output (OutputDebugStringA) through the
// DBWIN protocol, as a debug monitor does. One listener at a time.

#include <windows.h>

#include <string>
#include <vector>

class TraceListener {
public:
    TraceListener();
    ~TraceListener();
    TraceListener(const TraceListener&) = delete;
    TraceListener& operator=(const TraceListener&) = delete;

    // True when the protocol's objects could be set up.
    bool ok() const { return thread_ != nullptr; }
    // Stops listening once everything sent so far has arrived, takes the
    // protocol's objects away, and returns the texts received, one per
    // OutputDebugStringA call. Idempotent.
    const std::vector<std::string>& Stop();

private:
    static DWORD WINAPI Run(void* self);

    HANDLE buffer_ready_ = nullptr;
    HANDLE data_ready_ = nullptr;
    HANDLE mapping_ = nullptr;
    char* view_ = nullptr;
    HANDLE thread_ = nullptr;
    std::vector<std::string> texts_;
};
