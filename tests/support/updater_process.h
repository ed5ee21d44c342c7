#pragma once
// Runs update.exe as a user meets it and watches it from outside: its dialog
// found by caption among the process's windows, its controls read and its
// commands posted as messages, its warning boxes found and closed.

#include <windows.h>

#include <string>
#include <vector>

// Windows path of the update.exe of this build.
std::string UpdateExePath();
// Windows path of a file built beside the running test program (a probe).
std::string BesideTestProgram(const std::string& name);

// This process's environment with name set to value (or added), as
// NAME=value texts for UpdaterProcess::Start.
std::vector<std::string> EnvironmentWith(const std::string& name, const std::string& value);

// Stores "InstallDir" under the updater's key; remove with EraseInstallDir.
bool StoreInstallDir(const std::string& value);
void EraseInstallDir();

class UpdaterProcess {
public:
    UpdaterProcess() = default;
    ~UpdaterProcess();  // ends the process if it still runs
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;

    // Starts exe with work_dir as its current directory, and with this
    // process's environment or the one given (NAME=value texts).
    bool Start(const std::string& exe, const std::string& work_dir,
               const std::vector<std::string>* environment = nullptr);
    // The waits below return as soon as what they wait for is there; their
    // limits are generous because a fresh Wine process has been seen to take
    // 20 s to start on a busy CI machine.
    // Waits for the updater dialog to be shown; returns it, or null.
    HWND WaitDialog(DWORD timeout_ms = 60000);
    // Waits for a message box of the process; returns it, or null.
    HWND WaitMessageBox(DWORD timeout_ms = 60000);
    // Waits for a visible window of the process other than its dialog, such
    // as a chooser the dialog opened; returns it, or null.
    HWND WaitOtherWindow(DWORD timeout_ms = 60000);
    // The text of the dialog's control id (or of window itself when id is 0).
    std::string Text(int id, HWND window = nullptr) const;
    bool Enabled(int id) const;
    // Posts WM_COMMAND with id to the dialog, as a click or another program would.
    void Command(int id) const;
    // Waits until a run has been reported: the log ends with its closing
    // line and both buttons are enabled again.
    bool WaitRunEnd(DWORD timeout_ms = 60000) const;
    // Waits until the log holds at least lines lines.
    bool WaitLogLines(int lines, DWORD timeout_ms = 30000) const;
    // Waits for the process to end; returns its exit code or -1 on timeout.
    long WaitExit(DWORD timeout_ms = 60000);
    // Ends the process at once, as a user or a crash may, wherever it is, and
    // waits until it is gone. True when it has ended.
    bool Terminate(DWORD timeout_ms = 60000);
    bool Running() const;
    // Windows of the process with the given caption (any when null) that are
    // visible, other than skip.
    HWND FindWindowOfProcess(const char* caption, bool message_box, HWND skip = nullptr) const;

    HWND dialog() const { return dialog_; }
    DWORD pid() const { return pi_.dwProcessId; }
    HANDLE process() const { return pi_.hProcess; }

private:
    HWND WaitWindow(const char* caption, bool message_box, HWND skip, DWORD timeout_ms) const;

    PROCESS_INFORMATION pi_ = {};
    HWND dialog_ = nullptr;
};
