// The operations through which the engine, the pattern views and the target intake
// reach the dialog's controls and show message boxes.
#include "app/replace_dlg.h"

#include "framework/ansi_path.h"
#include "app/static_buffers.h"

#include <cstring>
#include <iterator>
#include <string>

namespace {
constexpr wchar_t kCaption[] = L"Bytewren";
}

int CReplaceDlg::ReadText(int id, char* buf) const
{
    buf[0] = '\0';
    const HWND item = GetDlgItem(id);
    const int got = ::GetWindowTextA(item, buf, kFieldReadCapacity);
    // Nothing from a control that holds text: the read failed.
    if (got <= 0 && ::GetWindowTextLengthA(item) > 0) {
        buf[0] = '\0';
        return -1;
    }
    return got;
}

int CReplaceDlg::ReadTextW(int id, wchar_t* buf) const
{
    buf[0] = L'\0';
    const HWND item = GetDlgItem(id);
    const int got = ::GetWindowTextW(item, buf, kFieldReadCapacity);
    if (got <= 0 && ::GetWindowTextLengthW(item) > 0) {
        buf[0] = L'\0';
        return -1;
    }
    return got;
}

int CReplaceDlg::ReadPath(int id, char* buf) const
{
    wchar_t wide[kFieldReadCapacity];
    buf[0] = '\0';
    if (ReadTextW(id, wide) < 0)
        return -1;
    const std::string path = AnsiPath(wide);
    // As much as an 8-bit read would give: 259 bytes, not splitting a double-byte character.
    size_t len = 0;
    while (len < path.size()) {
        const size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(path[len])) && len + 1 < path.size() ? 2 : 1;
        if (len + step >= static_cast<size_t>(kFieldReadCapacity))
            break;
        len += step;
    }
    std::memcpy(buf, path.data(), len);
    buf[len] = '\0';
    return static_cast<int>(len);
}

int CReplaceDlg::TextLength(int id) const
{
    // Counted on the text itself: for a Unicode control, GetWindowTextLengthA may report
    // more than the real length in a double-byte code page. On the stack where it fits,
    // so a run's questions need no memory it does not have.
    const HWND item = GetDlgItem(id);
    wchar_t onStack[1025];
    std::wstring onHeap;
    const int capacity = ::GetWindowTextLengthW(item) + 1;
    wchar_t* text = onStack;
    if (capacity > static_cast<int>(std::size(onStack))) {
        onHeap.resize(static_cast<size_t>(capacity));
        text = &onHeap[0];
    }
    const int units = ::GetWindowTextW(item, text, capacity);
    if (units <= 0)
        return capacity > 1 ? -1 : 0;  // text there, and none read: the read failed
    return ::WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
}

void CReplaceDlg::SetText(int id, const char* text) const
{
    // Converted here, not by the system (framework/ansi_path.h).
    ::SetWindowTextW(GetDlgItem(id), WideFromAnsi(text).c_str());
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
