#pragma once
// Watches the message boxes that the current thread shows, records what each
// looked like, and closes each by pressing a chosen button, so that code that
// shows modal boxes can be tested headless.

#include <windows.h>

#include <string>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    DWORD style = 0;      // the MB_ flags the box was asked for
    bool ok_button = false;
    bool cancel_button = false;
};

class BoxWatcher {
public:
    // Presses button (IDOK, IDCANCEL, ...) in every box that appears.
    explicit BoxWatcher(int button = IDOK);
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    std::vector<SeenBox> boxes;

private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK CallHook(int code, WPARAM wparam, LPARAM lparam);

    int button_;
    HHOOK cbt_ = nullptr;
    HHOOK call_ = nullptr;
    DWORD pending_style_ = 0;
    std::vector<HWND> handled_;
};
