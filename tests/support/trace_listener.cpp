#include "tests/support/trace_listener.h"

// Sent by Stop() through the same channel, so that it arrives after every
// text sent before it.
static const char StopMarker[] = "\x01trace-listener-stop\x01";

TraceListener::TraceListener()
{
    buffer_ready_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    data_ready_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                  "DBWIN_BUFFER");
    if (mapping_)
        view_ = (char*)MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096);
    if (buffer_ready_ && data_ready_ && view_)
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

TraceListener::~TraceListener()
{
    Stop();
}

DWORD WINAPI TraceListener::Run(void* self)
{
    TraceListener* listener = (TraceListener*)self;
    for (;;) {
        SetEvent(listener->buffer_ready_);
        if (WaitForSingleObject(listener->data_ready_, 30000) != WAIT_OBJECT_0)
            return 1;
        DWORD pid = *(DWORD*)listener->view_;
        std::string text(listener->view_ + sizeof(DWORD));
        if (pid != GetCurrentProcessId())
            continue;
        if (text == StopMarker)
            return 0;
        listener->texts_.push_back(text);
    }
}

const std::vector<std::string>& TraceListener::Stop()
{
    if (thread_) {
        OutputDebugStringA(StopMarker);
        DWORD ended = WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
        thread_ = nullptr;
        if (ended != WAIT_OBJECT_0)
            return texts_;  // the thread may still read the view: it stays
    }
    // Gone at once, so that later debugger output (GoogleTest sends every
    // failure there) finds no listener to wait for, instead of waiting ten
    // seconds for a buffer that nobody frees.
    if (view_)
        UnmapViewOfFile(view_);
    if (mapping_)
        CloseHandle(mapping_);
    if (data_ready_)
        CloseHandle(data_ready_);
    if (buffer_ready_)
        CloseHandle(buffer_ready_);
    view_ = nullptr;
    mapping_ = data_ready_ = buffer_ready_ = nullptr;
    return texts_;
}
