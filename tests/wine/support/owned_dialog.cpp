#include "tests/wine/support/owned_dialog.h"

#include "tests/wine/support/message_boxes.h"

namespace {

constexpr DWORD kFindTimeout = 5000;
// A dialog counts as settled once its controls show the same for this long; it is
// given at most kSettleTimeout for that.
constexpr DWORD kStillFor = 150;
constexpr DWORD kSettleTimeout = 10000;
constexpr DWORD kCloseTimeout = 5000;

bool IsDialogClass(HWND hwnd)
{
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    return std::wstring(cls) == L"#32770";
}

// A visible dialog of thread owned by owner other than a message box (those are answered
// by MessageBoxAnswerer); or, when owner is null, any visible dialog of the thread but except.
struct DialogSearch { HWND owner, except, found; };

BOOL CALLBACK VisitDialog(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<DialogSearch*>(lp);
    if (w == s->except || !IsDialogClass(w) || !::IsWindowVisible(w))
        return TRUE;
    if (s->owner && (::GetWindow(w, GW_OWNER) != s->owner || IsMessageBox(w)))
        return TRUE;
    s->found = w;
    return FALSE;
}

HWND FindDialog(DWORD thread, HWND owner, HWND except)
{
    DialogSearch s{owner, except, nullptr};
    ::EnumThreadWindows(thread, VisitDialog, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

struct DescendantSearch { const wchar_t* cls; const wchar_t* text; HWND found; };

BOOL CALLBACK VisitDescendant(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<DescendantSearch*>(lp);
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    if (_wcsicmp(cls, s->cls) != 0 || (s->text && WindowTextOf(w) != s->text))
        return TRUE;
    s->found = w;
    return FALSE;
}

}  // namespace

OwnedDialogDriver::OwnedDialogDriver(HWND owner, std::function<void(HWND)> act)
{
    const DWORD thread = ::GetWindowThreadProcessId(owner, nullptr);
    m_thread = std::thread([this, owner, thread, act = std::move(act)] { Run(owner, thread, act); });
}

OwnedDialogDriver::~OwnedDialogDriver()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool OwnedDialogDriver::Finish()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_found;
}

namespace {

BOOL CALLBACK AddControlState(HWND child, LPARAM lp)
{
    auto* state = reinterpret_cast<std::wstring*>(lp);
    wchar_t text[256] = {};
    ::SendMessageTimeoutW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 1000, nullptr);
    *state += text;
    *state += ::IsWindowVisible(child) ? L"|v" : L"|h";
    *state += ::IsWindowEnabled(child) ? L"e|" : L"d|";
    return TRUE;
}

// What the dialog's controls show: their texts and states.
std::wstring ControlState(HWND dialog)
{
    std::wstring state;
    ::EnumChildWindows(dialog, AddControlState, reinterpret_cast<LPARAM>(&state));
    return state;
}

}  // namespace

// Waits until the dialog is shown and its controls have stopped changing: a system
// dialog fills its lists and places its selection after it appears.
void OwnedDialogDriver::WaitSettled(HWND dialog)
{
    std::wstring before;
    DWORD stillSince = ::GetTickCount();
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kSettleTimeout; ::Sleep(25)) {
        const std::wstring now = ::IsWindowVisible(dialog) ? ControlState(dialog) : std::wstring();
        if (now.empty() || now != before) {
            before = now;
            stillSince = ::GetTickCount();
        } else if (::GetTickCount() - stillSince >= kStillFor) {
            return;
        }
    }
}

void OwnedDialogDriver::Run(HWND owner, DWORD thread, const std::function<void(HWND)>& act)
{
    HWND dialog = nullptr;
    for (DWORD start = ::GetTickCount(); !dialog && ::GetTickCount() - start < kFindTimeout;) {
        dialog = FindDialog(thread, owner, nullptr);
        // Finish() before a dialog appeared: the action opened none.
        if (!dialog && m_stop)
            return;
        if (!dialog)
            ::Sleep(20);
    }
    if (!dialog)
        return;
    m_found = true;
    WaitSettled(dialog);
    act(dialog);

    // Whatever is still open after a while (the dialog, a box it raised) is cancelled.
    for (DWORD start = ::GetTickCount(); ::IsWindow(dialog);) {
        if (::GetTickCount() - start > kCloseTimeout) {
            if (HWND other = FindDialog(thread, nullptr, dialog))
                ::PostMessageW(other, WM_COMMAND, IDCANCEL, 0);
            else
                ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        ::Sleep(50);
    }
}

std::wstring WindowTextOf(HWND hwnd)
{
    wchar_t text[1024] = {};
    ::SendMessageW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

HWND FindDescendant(HWND parent, const wchar_t* cls, const wchar_t* text)
{
    DescendantSearch s{cls, text, nullptr};
    ::EnumChildWindows(parent, VisitDescendant, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void PressButton(HWND dialog, int id)
{
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}
