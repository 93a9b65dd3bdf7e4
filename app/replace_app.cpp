#include "app/replace_app.h"

#include "app/replace_dlg.h"

#include <ole2.h>

BOOL CReplaceApp::InitInstance()
{
    SetDialogBkColor(RGB(245, 245, 245), RGB(0, 0, 0));
    // The shell's folder browser needs COM (OLE) on the calling thread, and Windows does
    // not start it by itself.
    const HRESULT ole = ::OleInitialize(nullptr);
    {
        CReplaceDlg dlg;
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    if (SUCCEEDED(ole))
        ::OleUninitialize();
    return FALSE;  // end the program rather than run a loop of our own
}
