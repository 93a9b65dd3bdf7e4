#include "framework/win_app.h"

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp()
{
    s_current = this;
}

CWinApp::~CWinApp()
{
    if (m_dialogBrush)
        ::DeleteObject(m_dialogBrush);
    if (s_current == this)
        s_current = nullptr;
}

void CWinApp::SetDialogBkColor(COLORREF background, COLORREF text)
{
    if (m_dialogBrush)
        ::DeleteObject(m_dialogBrush);
    m_dialogBrush = ::CreateSolidBrush(background);
    m_dialogBk = background;
    m_dialogText = text;
}

BOOL CWinApp::OnCmdMsg(UINT id)
{
    if (id == ID_HELP) {
        OnHelp();
        return TRUE;
    }
    return FALSE;
}

int AfxWinMain()
{
    CWinApp* app = CWinApp::Current();
    if (!app)
        return 1;
    app->InitInstance();
    return 0;
}
