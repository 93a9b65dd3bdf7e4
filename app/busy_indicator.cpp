#include "app/busy_indicator.h"

namespace {

// Whether the cursor is over window or one of its controls.
bool CursorOver(HWND window)
{
    POINT at;
    if (!::GetCursorPos(&at))
        return false;
    const HWND under = ::WindowFromPoint(at);
    return under && (under == window || ::IsChild(window, under));
}

}  // namespace

CBusyIndicator::CBusyIndicator(HWND window) : m_window(window)
{
    // The cursor changes at once, not only once the mouse moves.
    if (CursorOver(m_window))
        ::SetCursor(Cursor());
    // Windows 7 and later have the interface, where COM is up on this thread.
    if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                     m_taskbar.Out())) &&
        SUCCEEDED(m_taskbar->HrInit()))
        m_shown = SUCCEEDED(m_taskbar->SetProgressState(m_window, TBPF_INDETERMINATE));
}

CBusyIndicator::~CBusyIndicator()
{
    if (m_shown)
        m_taskbar->SetProgressState(m_window, TBPF_NOPROGRESS);
    if (CursorOver(m_window))
        ::SetCursor(::LoadCursorA(nullptr, IDC_ARROW));
}
