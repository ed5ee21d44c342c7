#pragma once
// A stand-in for the updater dialog in tests: a hidden top-level window that
// holds the controls the state machine drives: the buttons IDC_QUIT and
// IDC_START and the multi-line log control IDC_LOG.

#include <windows.h>

class LogWindow {
public:
    LogWindow();
    ~LogWindow();
    LogWindow(const LogWindow&) = delete;
    LogWindow& operator=(const LogWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(hwnd_, id)) != FALSE; }

private:
    HWND hwnd_;
};
