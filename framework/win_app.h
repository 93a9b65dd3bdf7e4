// CWinApp: the one application object. The program's entry calls InitInstance on it.
#pragma once

#include "framework/wnd.h"

constexpr UINT ID_HELP = 0xE146;  // 57670, the standard help command

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return FALSE; }

    static CWinApp* Current() { return s_current; }
    static HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

    // Background and text colour of dialogs and their labels, buttons and check boxes.
    void SetDialogBkColor(COLORREF background, COLORREF text);
    HBRUSH DialogBrush() const { return m_dialogBrush; }
    COLORREF DialogBkColor() const { return m_dialogBk; }
    COLORREF DialogTextColor() const { return m_dialogText; }

    // Commands that no window handled; routes ID_HELP to OnHelp.
    BOOL OnCmdMsg(UINT id);
    // No help file ships with the program; the about message answers help requests.
    void OnHelp() {}

    CWnd* m_pMainWnd = nullptr;

private:
    static CWinApp* s_current;
    HBRUSH m_dialogBrush = nullptr;
    COLORREF m_dialogBk = 0;
    COLORREF m_dialogText = 0;
};

// Runs the application object: InitInstance, then the process ends. Returns the exit code.
int AfxWinMain();
