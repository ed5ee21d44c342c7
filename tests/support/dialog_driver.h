#pragma once
// Plays the user of the modal dialogs that a test's thread shows (common file
// dialogs, the folder browser, message boxes: all "#32770" windows). A script
// runs on a helper thread while the test's thread sits in the modal call; it
// finds the dialogs, reads their controls, types and presses buttons by
// messages. Scripts only record what they see; the test checks it afterwards
// on its own thread.

#include <windows.h>

#include <functional>
#include <string>

class DialogDriver {
public:
    // Starts script on a helper thread, watching the calling thread's dialogs.
    explicit DialogDriver(std::function<void(DialogDriver&)> script);
    // Waits for the script and for the watched dialogs to go. A dialog still
    // open 5 seconds after the script ended is cancelled and counted in
    // forced_closes, so that a failing script cannot hang the test. Call it
    // before checking what the script recorded.
    void Finish();
    ~DialogDriver() { Finish(); }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Waits up to 10 seconds for a visible dialog of the watched thread other
    // than skip; returns it, or null.
    HWND WaitDialog(HWND skip = nullptr) const;
    // Waits up to 10 seconds for dialog to go; true when it went.
    bool WaitGone(HWND dialog) const;

    int forced_closes = 0;

private:
    static DWORD WINAPI Run(void* self);

    std::function<void(DialogDriver&)> script_;
    DWORD watched_;
    HANDLE thread_ = nullptr;
};

// Sets the text of the edit control with the id inside dialog (the control
// itself or the edit of a combo box that carries the id).
void TypeInto(HWND dialog, int id, const std::string& text);
// Text of the control with the id (a message box's text is control 0xFFFF).
std::string ControlText(HWND dialog, int id);
// Presses the button with the id as a click would.
void Press(HWND dialog, int id);
// Sends a message whose reply is a text in a buffer of 1,024 bytes
// (CDM_GETFOLDERPATH, CDM_GETSPEC).
std::string AskText(HWND dialog, UINT msg);
// Selects the folder path in a folder browser and waits until its tree shows
// it selected (a browser just shown may still be filling its tree and drop
// an early selection). True when the selection took.
bool SelectInFolderBrowser(HWND browser, const std::string& path);
// The name of the folder selected in a folder browser once it is expected
// (waits up to 30 seconds: the browser first selects its root, then the
// folder its caller asked for, which under the emulated 32-bit Wine on a busy
// machine has taken more than 10); otherwise the last name seen, "" when none.
std::string FolderBrowserSelection(HWND browser, const std::string& expected);
