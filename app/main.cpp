// Entry point of update.exe: start-up and the main loop. Messages always go
// first; when none waits, the state machine runs one pass and the thread
// sleeps 50 milliseconds, so the dialog stays serviced during a run.
#include <windows.h>
#include <string.h>

#include "app/update_state.h"
#include "app/updater_dialog.h"
#include "res/resource.h"
#include "toolkit/data/dbcs_text.h"
#include "toolkit/system/message_box.h"
#include "toolkit/system/registry.h"
#include "toolkit/system/system_libraries.h"
#include "toolkit/system/trace.h"

// Ends the process with code 1, after saying why, when a DLL redirection
// file or folder lies beside the program: with it, Windows may load DLLs of
// the program's folder in place of the system's. Runs before the program
// loads any DLL; the message box then needs user32 (a Known DLL, which
// redirection never replaces) alone.
static void RefuseDllRedirection()
{
    char local[MAX_PATH + 8];
    if (!DllRedirectionPresent(local, sizeof local))
        return;
    ShowWarning(nullptr,
                "%s があるため、アップデートを中止しました。\n\n"
                "このファイルまたはフォルダがあると、Windows はシステムの DLL の代わりに、"
                "同じ場所に置かれた DLL を読み込むことがあります。"
                "これを削除してから、もう一度実行してください。",
                local);
    ExitProcess(1);
}

// Finds the installation folder and brings up the dialog. Ends the process
// with code 0 when the installation information is missing or names no
// folder, and with code 1 when the dialog cannot be created.
void InitUpdater(HINSTANCE instance)
{
    char* install_dir = UpdateState.install_dir;
    memset(install_dir, 0, sizeof UpdateState.install_dir);
    SelectRegKey("SoftWare\\Pelto\\Kivari Quilmar");
    // A value that does not fit the buffer is refused by the read, which
    // then leaves install_dir empty.
    if (ReadRegText("InstallDir", install_dir, sizeof UpdateState.install_dir) == 0) {
        // The stored value ends in a backslash, which goes; so does whatever
        // other character stands last, whole.
        install_dir[DbcsFitLength(install_dir, (int)strlen(install_dir) - 1)] = 0;
    }
    // An empty value, or one of a single character, names no folder: the
    // runs would have no target.
    if (install_dir[0] == 0) {
        ShowWarning(nullptr, "Kivari Quilmar のインストール情報が見つかりません。");
        ExitProcess(0);
    }

    UpdateState.dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_UPDATER), nullptr,
                                            UpdaterDlgProc, 0);
    if (!UpdateState.dialog) {
        // Without its window the program could never be told to quit.
        DWORD error = GetLastError();
        TraceSystemError(error);
        ShowWarning(nullptr, "アップデーターの画面を作成できません。(%lu)", error);
        ExitProcess(1);
    }
    PositionDialog(UpdateState.dialog, 0, 0);
    ShowWindow(UpdateState.dialog, SW_SHOW);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    RefuseDllRedirection();
    // A current directory that does not fit leaves work_dir empty, and the
    // run then refuses to look for "patch" anywhere else.
    DWORD len = GetCurrentDirectoryA(sizeof UpdateState.work_dir, UpdateState.work_dir);
    if (len == 0 || len >= sizeof UpdateState.work_dir)
        UpdateState.work_dir[0] = 0;
    InitUpdater(instance);

    MSG msg = {};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0))
                break;
            DispatchMessageA(&msg);
        } else {
            if (!UpdateTick())
                break;
            Sleep(50);
        }
    }
    return (int)msg.wParam;
}
