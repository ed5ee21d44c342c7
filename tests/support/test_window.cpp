#include "tests/support/test_window.h"

#include "res/resource.h"

LogWindow::LogWindow()
{
    hwnd_ = CreateWindowExA(0, "#32770", "test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    CreateWindowExA(0, "BUTTON", "quit", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 250, 60, 20,
                    hwnd_, (HMENU)IDC_QUIT, nullptr, nullptr);
    CreateWindowExA(0, "BUTTON", "start", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 80, 250, 60,
                    20, hwnd_, (HMENU)IDC_START, nullptr, nullptr);
    CreateWindowExA(0, "EDIT", "",
                    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                    10, 10, 360, 200, hwnd_, (HMENU)IDC_LOG, nullptr, nullptr);
}

LogWindow::~LogWindow() { DestroyWindow(hwnd_); }

