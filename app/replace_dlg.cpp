#include "app/replace_dlg.h"

#include "framework/win_app.h"
#include "target/command_line.h"

#include <imm.h>
#include <shellapi.h>

namespace {

// The address shown in the about message and on the help label.
constexpr wchar_t kAboutText[] =
    L"获取更多帮助请访问：https://bytewren.test\n\n日期：2010.08.29\n版本：v1.1";

constexpr int kPatternTypingLimit = 1024;
// Dark blue, the text colour of the edit controls.
constexpr COLORREF kEditTextColour = RGB(0, 0, 100);
// The screen point WM_NCLBUTTONDOWN carries: (2, 0).
constexpr LPARAM kAnyPoint = 2;

// Carries dropped data between processes, beside WM_COPYDATA.
constexpr UINT kWmCopyGlobalData = 0x0049;

// An elevated window gets no drops from the normal-level shell unless it lets in the
// messages that carry them. Looked up at run time: Windows 7 and later have it.
void AllowDropsFromLowerIntegrity(HWND hwnd)
{
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    const FARPROC proc = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
    if (!proc)
        return;
    const auto filter = reinterpret_cast<FilterFn>(reinterpret_cast<void*>(proc));
    for (UINT message : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kWmCopyGlobalData})
        filter(hwnd, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace

CReplaceDlg::CReplaceDlg(CWnd* parent) : CDialog(IDD_REPLACE_DIALOG, parent)
{
    m_hIcon = ::LoadIconA(CWinApp::Instance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CReplaceDlg::~CReplaceDlg() = default;

const MessageMapEntry* CReplaceDlg::GetMessageMap() const
{
    using namespace msgmap;
    static const MessageMapEntry map[] = {
        {WM_PAINT, 0, 0, &Void<&CReplaceDlg::OnPaint>},
        {WM_QUERYDRAGICON, 0, 0, &Cursor<&CReplaceDlg::OnQueryDragIcon>},
        {WM_CTLCOLOR, 0, 0, &CtlColor<&CReplaceDlg::OnCtlColor>},
        {WM_COMMAND, EN_CHANGE, IDC_FIND_HEX, &Void<&CReplaceDlg::OnChangeFindHex>},
        {WM_COMMAND, EN_CHANGE, IDC_REPLACE_HEX, &Void<&CReplaceDlg::OnChangeReplaceHex>},
        {WM_COMMAND, EN_CHANGE, IDC_FIND_ASCII, &Void<&CReplaceDlg::OnChangeFindAscii>},
        {WM_COMMAND, EN_CHANGE, IDC_FIND_UNICODE, &Void<&CReplaceDlg::OnChangeFindUnicode>},
        {WM_COMMAND, EN_CHANGE, IDC_REPLACE_ASCII, &Void<&CReplaceDlg::OnChangeReplaceAscii>},
        {WM_COMMAND, EN_CHANGE, IDC_REPLACE_UNICODE, &Void<&CReplaceDlg::OnChangeReplaceUnicode>},
        {WM_COMMAND, BN_CLICKED, IDC_EXIT, &Void<&CReplaceDlg::OnExit>},
        {WM_COMMAND, BN_CLICKED, IDC_START, &Void<&CReplaceDlg::OnStart>},
        {WM_COMMAND, BN_CLICKED, IDC_BROWSE, &Void<&CReplaceDlg::OnBrowse>},
        {WM_DROPFILES, 0, 0, &Drop<&CReplaceDlg::OnDropFiles>},
        {WM_COMMAND, EN_CHANGE, IDC_FIND_UTF8, &Void<&CReplaceDlg::OnChangeFindUtf8>},
        {WM_COMMAND, EN_CHANGE, IDC_REPLACE_UTF8, &Void<&CReplaceDlg::OnChangeReplaceUtf8>},
        {WM_LBUTTONDOWN, 0, 0, &Mouse<&CReplaceDlg::OnLButtonDown>},
        {WM_HELP, 0, 0, &Help<&CReplaceDlg::OnHelpInfo>},
        {WM_SETCURSOR, 0, 0, &SetCursor<&CReplaceDlg::OnSetCursor>},
        {0, 0, 0, nullptr},
    };
    return map;
}

BOOL CReplaceDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    DragAcceptFiles(TRUE);
    AllowDropsFromLowerIntegrity(m_hWnd);

    if (__argc > 1)  // later arguments are ignored
        SetTargetPath(FirstArgumentPath().c_str());

    m_bUpdating = false;
    SetCheck(IDC_ASK, 1);
    for (int id : {IDC_FIND_HEX, IDC_FIND_ASCII, IDC_FIND_UNICODE, IDC_REPLACE_HEX,
                   IDC_REPLACE_ASCII, IDC_REPLACE_UNICODE})
        LimitText(id, kPatternTypingLimit);
    // An input method in Chinese mode would take a-f typed into a HEX view into a
    // composition, past the keystroke filter: the HEX views go without one.
    for (int id : {IDC_FIND_HEX, IDC_REPLACE_HEX})
        ::ImmAssociateContext(GetDlgItem(id), nullptr);
    return TRUE;  // the focus goes to the first tab stop, the path field
}

BOOL CReplaceDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_CHAR && ::GetKeyState(VK_CONTROL) == 0 &&
        (msg->hwnd == GetDlgItem(IDC_FIND_HEX) || msg->hwnd == GetDlgItem(IDC_REPLACE_HEX))) {
        if (FilterHexKeystroke(msg))
            return TRUE;
    }
    if (msg->message == WM_KEYDOWN &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE || msg->wParam == VK_F1))
        return TRUE;
    // The system turns F1 into WM_KEYF1 as the key message is taken from the queue,
    // ahead of the key-down above; swallow it too so F1 never becomes a help request.
    if (msg->message == kWmKeyF1)
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void CReplaceDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CReplaceDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

HBRUSH CReplaceDlg::OnCtlColor(HDC dc, HWND wnd, UINT kind)
{
    HBRUSH brush = CDialog::OnCtlColor(dc, wnd, kind);
    if (kind == CTLCOLOR_EDIT)
        ::SetTextColor(dc, kEditTextColour);
    return brush;
}

void CReplaceDlg::OnLButtonDown(UINT, POINT)
{
    // A press anywhere on the background moves the window, as if on its caption. The
    // move follows the mouse from where it is, whatever point the message names.
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, kAnyPoint);
    Default();
}

BOOL CReplaceDlg::OnHelpInfo(HELPINFO*)
{
    // During a run, no box but the run's own: a help request then shows nothing.
    if (!m_bRunning)
        ShowMessage(kAboutText, MB_OK | MB_ICONQUESTION);
    return TRUE;
}

void CReplaceDlg::OnExit()
{
    // During a run, once it has stopped where nothing is half done.
    if (m_bRunning) {
        RequestStop(AfterStop::Exit);
        return;
    }
    ::ExitProcess(0);
}
