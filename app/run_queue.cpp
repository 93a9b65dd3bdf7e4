// The dialog's messages while Start runs: pumped on a clock, so the system never takes
// the window for hung; the user's input dropped, not kept for after the run, but for
// what stops the run.
#include "app/replace_dlg.h"

#include "app/busy_indicator.h"

namespace {

// More messages than come in between two pumps, painting included: a window that never
// validated would be painted forever.
constexpr int kMostMessagesAtATime = 256;

bool IsUserInput(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK) || message == kWmKeyF1;
}

}  // namespace

void CReplaceDlg::PumpMessages()
{
    const DWORD now = ::GetTickCount();
    if (now - m_lastPump < kPumpIntervalMs)
        return;
    m_lastPump = now;
    MSG msg;
    for (int i = 0; i < kMostMessagesAtATime && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop the run returns to
            break;
        }
        if (IsUserInput(msg.message))
            TakeInputDuringRun(msg);
        else
            ::DispatchMessageW(&msg);
    }
}

void CReplaceDlg::TakeInputDuringRun(const MSG& msg)
{
    switch (msg.message) {
    case WM_KEYDOWN:
        if (msg.wParam == VK_ESCAPE)
            RequestStop(AfterStop::Stay);
        else if (msg.wParam == VK_SPACE && msg.hwnd == GetDlgItem(IDC_EXIT))
            RequestStop(AfterStop::Exit);
        break;
    case WM_SYSKEYDOWN:
        if (msg.wParam == VK_F4)  // Alt+F4
            RequestStop(AfterStop::Close);
        break;
    case WM_NCLBUTTONDOWN:
        if (msg.hwnd == m_hWnd && msg.wParam == HTCLOSE)
            RequestStop(AfterStop::Close);
        break;
    case WM_LBUTTONUP:
        if (msg.hwnd == GetDlgItem(IDC_EXIT))
            RequestStop(AfterStop::Exit);
        break;
    }
}

void CReplaceDlg::RequestStop(AfterStop after)
{
    m_stopRun = true;
    if (after > m_afterStop)
        m_afterStop = after;
}

void CReplaceDlg::OnCancel()
{
    // The close box, the system menu and Alt+F4 while a run is on: it stops first.
    if (m_bRunning)
        RequestStop(AfterStop::Close);
    else
        CDialog::OnCancel();
}

BOOL CReplaceDlg::OnSetCursor(HWND, UINT, UINT)
{
    if (!m_bRunning) {
        Default();
        return FALSE;
    }
    ::SetCursor(CBusyIndicator::Cursor());
    return TRUE;
}
