#include "app/replace_app.h"

#include "app/replace_dlg.h"

#include "framework/com.h"

namespace {
constexpr COLORREF kDialogBackground = RGB(245, 245, 245);  // a light grey
constexpr COLORREF kDialogText = RGB(0, 0, 0);
}  // namespace

BOOL CReplaceApp::InitInstance()
{
    SetDialogBkColor(kDialogBackground, kDialogText);
    // The shell's folder browser needs COM (OLE) on the calling thread, and Windows does
    // not start it by itself.
    const COleInit ole;
    CReplaceDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // A stopped run may have left a thread held up in a system call (a slow share): it
    // must not hold up the end of the program, which ends it.
    if (dlg.ThreadsLeft())
        ::ExitProcess(0);
    return FALSE;  // end the program rather than run a loop of our own
}
