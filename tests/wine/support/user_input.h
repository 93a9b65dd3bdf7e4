// Input as a user gives it, through the system's input queue (SendInput).
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

// A key pressed and let go.
void PressKey(WORD vk);
// A left click at a point of the screen; the pointer then goes back where it was: one
// left over a control keeps Wine's hover timer ticking, and a dialog never goes idle.
void ClickAt(POINT screen);
// A drop as the shell makes it: a DROPFILES header, then each name with its terminator
// and a final terminator, as ANSI or UTF-16 text. The window's handler releases it (DragFinish).
HDROP MakeDrop(const std::vector<std::string>& paths, bool wide);
// A drop of one path as UTF-16.
HDROP MakeDrop(const std::wstring& path);

// Watches this thread's queue for the first message of a kind taken from it (for a
// window, or any): whether it was, and what a check of the program's state said at
// that moment (say, that a run was on), so a test tells a setup that did not happen
// from a fault.
class TakenWatch {
public:
    TakenWatch(UINT message, HWND window, bool (*state)(void* arg), void* arg);
    ~TakenWatch();
    TakenWatch(const TakenWatch&) = delete;
    TakenWatch& operator=(const TakenWatch&) = delete;

    bool Taken() const { return m_taken; }
    bool StateWhenTaken() const { return m_state; }

private:
    static LRESULT CALLBACK OnGetMessage(int code, WPARAM wp, LPARAM lp);

    UINT m_message;
    HWND m_window;
    bool (*m_check)(void*);
    void* m_arg;
    volatile bool m_taken = false;
    volatile bool m_state = false;
    HHOOK m_hook = nullptr;
};

// A point on the close box of window's caption, where the window says it is.
POINT CloseBoxPoint(HWND window);
