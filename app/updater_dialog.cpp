#include "app/updater_dialog.h"

#include <commctrl.h>

#include "app/update_state.h"
#include "res/resource.h"
#include "toolkit/files/choosers.h"

static void OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDC_QUIT:
        if (UpdateState.phase == Idle)
            UpdateState.phase = Quit;
        break;
    case IDC_BROWSE:
        if (ChooseFolder(dialog, UpdateState.install_dir))
            SetDlgItemTextA(dialog, IDC_INSTALL_DIR, UpdateState.install_dir);
        break;
    case IDC_START:
        if (UpdateState.phase == Idle)
            UpdateState.phase = StartRequested;
        break;
    case IDC_ABORT:
        UpdateState.abort_requested = 1;
        break;
    default:
        break;
    }
}

INT_PTR CALLBACK UpdaterDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (message) {
    case WM_INITDIALOG:
        // Shown from install_dir itself, so that a folder of any length is
        // shown whole.
        SetDlgItemTextA(dialog, IDC_INSTALL_DIR, UpdateState.install_dir);
        return 0;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wparam));
        return 0;
    case WM_CLOSE:
        if (UpdateState.phase == Idle)
            UpdateState.phase = Quit;
        return 0;
    case WM_DESTROY:
        EndDialog(dialog, 0);
        return 1;
    default:
        return 0;
    }
}

BOOL PositionDialog(HWND window, WORD x, WORD y)
{
    RECT rc;
    GetClientRect(window, &rc);
    int add_height = GetSystemMetrics(SM_CYSIZE) + 2 * GetSystemMetrics(SM_CYDLGFRAME);
    int add_width = 2 * GetSystemMetrics(SM_CXDLGFRAME);
    return SetWindowPos(window, nullptr, x, y, rc.right + add_width, rc.bottom + add_height,
                        SWP_NOZORDER);
}

LRESULT ResetProgressBar(HWND control, WORD n)
{
    SendMessageA(control, PBM_SETRANGE, 0, MAKELPARAM(0, n));
    SendMessageA(control, PBM_SETSTEP, 1, 0);
    return SendMessageA(control, PBM_SETPOS, 0, 0);
}
