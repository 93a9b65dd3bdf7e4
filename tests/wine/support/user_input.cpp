#include "tests/wine/support/user_input.h"

#include "tests/wine/support/test_files.h"

#include <cstring>

namespace {

void MoveTo(MOUSEINPUT& mi, POINT p)
{
    mi.dx = p.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    mi.dy = p.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
}

}  // namespace

void PressKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
}

void ClickAt(POINT screen)
{
    POINT was;
    ::GetCursorPos(&was);
    INPUT in[4] = {};
    for (INPUT& i : in)
        i.type = INPUT_MOUSE;
    MoveTo(in[0].mi, screen);
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    MoveTo(in[3].mi, was);
    ::SendInput(4, in, sizeof(INPUT));
}

namespace {

void AddWide(std::vector<char>& list, const std::wstring& path)
{
    const std::wstring w = path + L'\0';
    const char* raw = reinterpret_cast<const char*>(w.c_str());
    list.insert(list.end(), raw, raw + w.size() * sizeof(wchar_t));
}

// The names in list, each with its terminator, made a drop.
HDROP DropOf(std::vector<char> list, bool none, bool wide)
{
    list.insert(list.end(), wide ? sizeof(wchar_t) : 1, '\0');
    if (none)  // an empty list still ends with a second terminator
        list.insert(list.end(), wide ? sizeof(wchar_t) : 1, '\0');

    HGLOBAL mem = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    auto* header = static_cast<DROPFILES*>(::GlobalLock(mem));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    std::memcpy(header + 1, list.data(), list.size());
    ::GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

}  // namespace

HDROP MakeDrop(const std::vector<std::string>& paths, bool wide)
{
    std::vector<char> list;
    for (const std::string& p : paths) {
        if (wide)
            AddWide(list, Wide(p));
        else
            list.insert(list.end(), p.c_str(), p.c_str() + p.size() + 1);
    }
    return DropOf(std::move(list), paths.empty(), wide);
}

HDROP MakeDrop(const std::wstring& path)
{
    std::vector<char> list;
    AddWide(list, path);
    return DropOf(std::move(list), false, true);
}

namespace {
TakenWatch* g_watch = nullptr;
}

TakenWatch::TakenWatch(UINT message, HWND window, bool (*state)(void*), void* arg)
    : m_message(message), m_window(window), m_check(state), m_arg(arg)
{
    g_watch = this;
    m_hook = ::SetWindowsHookExW(WH_GETMESSAGE, OnGetMessage, nullptr, ::GetCurrentThreadId());
}

TakenWatch::~TakenWatch()
{
    ::UnhookWindowsHookEx(m_hook);
    g_watch = nullptr;
}

LRESULT CALLBACK TakenWatch::OnGetMessage(int code, WPARAM wp, LPARAM lp)
{
    const auto* msg = reinterpret_cast<const MSG*>(lp);
    TakenWatch* w = g_watch;
    if (code == HC_ACTION && wp == PM_REMOVE && w && !w->m_taken && msg->message == w->m_message &&
        (!w->m_window || msg->hwnd == w->m_window)) {
        w->m_state = w->m_check(w->m_arg);
        w->m_taken = true;
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

POINT CloseBoxPoint(HWND window)
{
    // A window just made may not be placed and shown yet: looked for until it is.
    for (int attempt = 0; attempt < 250; ++attempt) {
        RECT r;
        ::GetWindowRect(window, &r);
        const int y = r.top + ::GetSystemMetrics(SM_CYDLGFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
        for (int x = r.right - 1; ::IsWindowVisible(window) && x > r.left; --x) {
            if (::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE)
                return POINT{x - 3, y};
        }
        ::Sleep(20);
    }
    return POINT{-1, -1};
}
