#include "app/replace_app.h"

#include "app/replace_dlg.h"

BOOL CReplaceApp::InitInstance()
{
    SetDialogBkColor(RGB(245, 245, 245), RGB(0, 0, 0));
    CReplaceDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;  // end the program rather than run a loop of our own
}
