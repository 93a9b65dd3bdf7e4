// The operations through which the engine, the pattern views and the target intake
// reach the dialog's controls and show message boxes.
#include "app/replace_dlg.h"

#include "pattern/static_buffers.h"

#include <cstring>
#include <string>

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
    // Counted on the text itself: for a Unicode control, GetWindowTextLengthA may report
    // more than the real length in a double-byte code page.
    const HWND item = GetDlgItem(id);
    std::wstring text(::GetWindowTextLengthW(item) + 1, L'\0');
    const int units = ::GetWindowTextW(item, &text[0], static_cast<int>(text.size()));
    return units > 0 ? ::WideCharToMultiByte(CP_ACP, 0, text.data(), units, nullptr, 0, nullptr, nullptr) : 0;
}

void CReplaceDlg::SetText(int id, const char* text) const
{
    // Converted here, with the byte count of the text: the system's own conversion of a
    // terminated string may take the terminator for the trail byte of a lone lead byte
    // at the end and show what lies beyond it.
    const int bytes = static_cast<int>(std::strlen(text));
    std::wstring wide(bytes + 1, L'\0');  // no byte gives more than one code unit
    const int units = bytes > 0 ? ::MultiByteToWideChar(CP_ACP, 0, text, bytes, &wide[0], bytes) : 0;
    wide.resize(units);
    ::SetWindowTextW(GetDlgItem(id), wide.c_str());
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
