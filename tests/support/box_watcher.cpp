#include "tests/support/box_watcher.h"

#include <algorithm>

static BoxWatcher* Active;

BoxWatcher::BoxWatcher(int button) : button_(button)
{
    Active = this;
    cbt_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    call_ = SetWindowsHookExA(WH_CALLWNDPROC, CallHook, nullptr, GetCurrentThreadId());
}

BoxWatcher::~BoxWatcher()
{
    if (cbt_)
        UnhookWindowsHookEx(cbt_);
    if (call_)
        UnhookWindowsHookEx(call_);
    Active = nullptr;
}

// A message box's WM_INITDIALOG carries the box's parameters; the style word
// tells the flags it was asked for (MB_SETFOREGROUND among them).
LRESULT CALLBACK BoxWatcher::CallHook(int code, WPARAM wparam, LPARAM lparam)
{
    const CWPSTRUCT* call = (const CWPSTRUCT*)lparam;
    if (code == HC_ACTION && Active && call->message == WM_INITDIALOG && call->lParam)
        Active->pending_style_ = ((const MSGBOXPARAMSW*)call->lParam)->dwStyle;
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK BoxWatcher::CbtHook(int code, WPARAM wparam, LPARAM lparam)
{
    HWND box = (HWND)wparam;
    char class_name[64] = "";
    if (code == HCBT_ACTIVATE && Active)
        GetClassNameA(box, class_name, sizeof class_name);
    // A message box is a dialog holding its text in the control 0xFFFF.
    if (lstrcmpA(class_name, "#32770") == 0 && GetDlgItem(box, 0xFFFF) &&
        std::find(Active->handled_.begin(), Active->handled_.end(), box) == Active->handled_.end()) {
        Active->handled_.push_back(box);
        SeenBox seen;
        char buf[2048];
        GetWindowTextA(box, buf, sizeof buf);
        seen.caption = buf;
        GetDlgItemTextA(box, 0xFFFF, buf, sizeof buf);
        seen.text = buf;
        seen.owner = GetWindow(box, GW_OWNER);
        seen.style = Active->pending_style_;
        HWND ok = GetDlgItem(box, IDOK);
        HWND cancel = GetDlgItem(box, IDCANCEL);
        // The box itself is not shown yet: look at the buttons' own style.
        seen.ok_button = ok && (GetWindowLongA(ok, GWL_STYLE) & WS_VISIBLE);
        seen.cancel_button = cancel && (GetWindowLongA(cancel, GWL_STYLE) & WS_VISIBLE);
        Active->boxes.push_back(seen);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(Active->button_, BN_CLICKED),
                     (LPARAM)GetDlgItem(box, Active->button_));
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
