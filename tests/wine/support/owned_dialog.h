// Drives a system dialog (file-open, folder browser) that the main dialog opens and
// runs modally on its own thread: the dialog is found as a window the main dialog owns
// and handled from a second thread while the first one is inside the dialog's loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class OwnedDialogDriver {
public:
    // Watches for the first visible dialog (class #32770) owned by owner; once it has
    // settled, runs act with it on the watching thread. act ends the dialog; if it is
    // still open a while later it is cancelled, so a failing test does not hang.
    OwnedDialogDriver(HWND owner, std::function<void(HWND)> act);
    ~OwnedDialogDriver();
    OwnedDialogDriver(const OwnedDialogDriver&) = delete;
    OwnedDialogDriver& operator=(const OwnedDialogDriver&) = delete;

    // Waits for the watching thread; true when a dialog was found.
    bool Finish();

private:
    void Run(HWND owner, DWORD thread, const std::function<void(HWND)>& act);
    static void WaitSettled(HWND dialog);

    std::atomic<bool> m_found{false};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Reading and handling the controls of a dialog of this process from another thread.
std::wstring WindowTextOf(HWND hwnd);
// The first descendant of parent of the given class, or whose text is text when given.
HWND FindDescendant(HWND parent, const wchar_t* cls, const wchar_t* text = nullptr);
// Presses a button of a dialog (IDOK, IDCANCEL) as a click does.
void PressButton(HWND dialog, int id);
