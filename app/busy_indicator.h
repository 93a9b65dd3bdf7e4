// Shows that the dialog is at work for as long as the object lives: the arrow with the
// hourglass over the dialog (at once; afterwards its WM_SETCURSOR answers with Cursor()
// while a run is on), and the taskbar button in its indeterminate state where the
// system offers one (ITaskbarList3).
#pragma once

#include "framework/com.h"

#include <shobjidl.h>

class CBusyIndicator {
public:
    explicit CBusyIndicator(HWND window);
    ~CBusyIndicator();
    CBusyIndicator(const CBusyIndicator&) = delete;
    CBusyIndicator& operator=(const CBusyIndicator&) = delete;

    // The cursor that stands for a dialog at work.
    static HCURSOR Cursor() { return ::LoadCursorA(nullptr, IDC_APPSTARTING); }

private:
    HWND m_window;
    CComPtr<ITaskbarList3> m_taskbar;
    bool m_shown = false;
};
