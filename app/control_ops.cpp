// The operations through which the engine, the pattern views and the target intake
// reach the dialog's controls and show message boxes.
#include "app/replace_dlg.h"

#include "pattern/static_buffers.h"

namespace {
constexpr wchar_t kCaption[] = L"Bytewren";
}

int CReplaceDlg::ReadText(int id, char* buf) const
{
    buf[0] = '\0';
    return ::GetWindowTextA(GetDlgItem(id), buf, kFieldReadCapacity);
}

int CReplaceDlg::ReadTextW(int id, wchar_t* buf) const
{
    buf[0] = L'\0';
    return ::GetWindowTextW(GetDlgItem(id), buf, kFieldReadCapacity);
}

int CReplaceDlg::TextLength(int id) const
{
    return ::GetWindowTextLengthA(GetDlgItem(id));
}

void CReplaceDlg::SetText(int id, const char* text) const
{
    ::SetWindowTextA(GetDlgItem(id), text);
}

void CReplaceDlg::SetTextW(int id, const wchar_t* text) const
{
    ::SetWindowTextW(GetDlgItem(id), text);
}

bool CReplaceDlg::IsChecked(int id) const
{
    return ::SendMessageA(GetDlgItem(id), BM_GETCHECK, 0, 0) != 0;
}

void CReplaceDlg::SetCheck(int id, int state) const
{
    ::SendMessageA(GetDlgItem(id), BM_SETCHECK, state, 0);
}

DWORD CReplaceDlg::CaretEnd(int id) const
{
    DWORD start = 0, end = 0;
    ::SendMessageA(GetDlgItem(id), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return end;
}

void CReplaceDlg::SetCaret(int id, DWORD pos) const
{
    ::SendMessageA(GetDlgItem(id), EM_SETSEL, pos, pos);
}

void CReplaceDlg::LimitText(int id, int chars) const
{
    ::SendMessageA(GetDlgItem(id), EM_LIMITTEXT, chars, 0);
}

int CReplaceDlg::ShowMessage(const wchar_t* text, UINT style) const
{
    // Wide, so the program's own texts read correctly whatever the ANSI code page.
    return ::MessageBoxW(m_hWnd, text, kCaption, style);
}

void CReplaceDlg::Beep()
{
    ::MessageBeep(MB_ICONASTERISK);
}
