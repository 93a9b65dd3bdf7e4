// CWnd: a window handle with the few forwarders the dialog uses.
#pragma once

#include <windows.h>

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(HWND hwnd) : m_hWnd(hwnd) {}
    virtual ~CWnd() = default;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND Detach() { HWND h = m_hWnd; m_hWnd = nullptr; return h; }

    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(m_hWnd, msg, wp, lp); }
    BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(m_hWnd, msg, wp, lp); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* rc) const { ::GetClientRect(m_hWnd, rc); }
    void DragAcceptFiles(BOOL accept = TRUE) const;

    // Centres the window over its owner (or parent), or over the work area when it has none.
    void CenterWindow() const;

protected:
    HWND m_hWnd = nullptr;
};

// Device context for WM_PAINT, released when it goes out of scope.
class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd) { m_hDC = ::BeginPaint(hwnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hwnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
    HDC m_hDC;
};
