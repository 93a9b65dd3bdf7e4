#include "framework/dialog.h"

#include "framework/win_app.h"

CDialog::~CDialog()
{
    if (m_hWnd) {
        // The window must not call back into a destroyed object.
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
}

BOOL CDialog::Create()
{
    HWND owner = m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
    ::CreateDialogParamW(CWinApp::Instance(), MAKEINTRESOURCEW(m_nIDTemplate), owner,
                         DialogProc, reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
    if (!Create())
        return -1;
    if (owner)
        ::EnableWindow(owner, FALSE);

    m_bInLoop = true;
    MSG msg;
    while (m_bInLoop && ::GetMessageW(&msg, nullptr, 0, 0) > 0)
        RouteMessage(msg);
    if (m_bInLoop && msg.message == WM_QUIT)
        ::PostQuitMessage(static_cast<int>(msg.wParam));  // leave the quit for the caller

    if (owner)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    return m_nModalResult;
}

void CDialog::EndDialog(INT_PTR result)
{
    m_nModalResult = result;
    if (m_bInLoop) {
        m_bInLoop = false;
        ::ShowWindow(m_hWnd, SW_HIDE);
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);  // wake the loop
    } else if (m_hWnd) {
        ::DestroyWindow(m_hWnd);
    }
}

HWND CDialog::GetDlgItem(int id) const
{
    for (int i = 0; i < m_itemCount; ++i) {
        if (m_items[i].id == id)
            return m_items[i].hwnd;
    }
    const HWND item = ::GetDlgItem(m_hWnd, id);
    if (item && m_itemCount < kMostKeptItems)
        m_items[m_itemCount++] = KeptItem{id, item};
    return item;
}

void CDialog::RouteMessage(MSG& msg)
{
    if (!PreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    // Keyboard and mouse input goes through the dialog manager (tabbing, mnemonics).
    const bool input = (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) ||
                       (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST);
    return input && m_hWnd && ::IsDialogMessageW(m_hWnd, msg);
}

HBRUSH CDialog::OnCtlColor(HDC dc, HWND, UINT kind)
{
    const CWinApp* app = CWinApp::Current();
    if (app && app->DialogBrush() && kind != CTLCOLOR_EDIT && kind != CTLCOLOR_LISTBOX &&
        kind != CTLCOLOR_SCROLLBAR) {
        ::SetBkColor(dc, app->DialogBkColor());
        ::SetTextColor(dc, app->DialogTextColor());
        return app->DialogBrush();
    }
    // The system's own colours for edits and anything without application colours.
    return reinterpret_cast<HBRUSH>(::DefWindowProcW(m_hWnd, WM_CTLCOLORMSGBOX + kind,
                                                     reinterpret_cast<WPARAM>(dc), 0));
}

BOOL CDialog::HandleInitDialog()
{
    RECT before;
    ::GetWindowRect(m_hWnd, &before);
    const BOOL result = OnInitDialog();
    // Centre the dialog on first show unless its template or OnInitDialog placed it.
    RECT after;
    ::GetWindowRect(m_hWnd, &after);
    const LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    if (!(style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) && ::EqualRect(&before, &after))
        CenterWindow();
    return result;
}

INT_PTR CDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp)
{
    UINT key = msg, code = 0, id = 0;
    if (msg == WM_COMMAND) {
        code = HIWORD(wp);
        id = LOWORD(wp);
    } else if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
        key = WM_CTLCOLOR;
    }

    if (const MessageMapEntry* e = GetMessageMap()) {
        for (; e->handler; ++e) {
            if (e->message == key && e->code == code && e->id == id) {
                m_bDefault = false;
                const INT_PTR result = e->handler(*this, msg, wp, lp);
                return m_bDefault ? FALSE : result;
            }
        }
    }

    switch (key) {
    case WM_INITDIALOG:
        return HandleInitDialog();
    case WM_CTLCOLOR:
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wp),
                                                    reinterpret_cast<HWND>(lp),
                                                    msg - WM_CTLCOLORMSGBOX));
    case WM_COMMAND:
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            OnCancel();
            return TRUE;
        }
        if (CWinApp* app = CWinApp::Current())
            return app->OnCmdMsg(id);
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        auto* dlg = reinterpret_cast<CDialog*>(lp);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
        dlg->m_hWnd = hwnd;
        dlg->m_itemCount = 0;  // a dialog made again has new controls
    }
    auto* dlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dlg)
        return FALSE;
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        dlg->m_hWnd = nullptr;
        dlg->m_itemCount = 0;
        dlg->m_bInLoop = false;
        return FALSE;
    }
    // An exception would have to unwind through the system's frames: a handler that
    // throws has done what it could, and the message counts as not handled.
    try {
        return dlg->OnMessage(msg, wp, lp);
    } catch (...) {
        return FALSE;
    }
}
