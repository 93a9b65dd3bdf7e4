#include "tests/wine/support/message_boxes.h"

MessageBoxAnswerer* MessageBoxAnswerer::s_active = nullptr;
void (*MessageBoxAnswerer::s_aroundAnswer)(bool) = nullptr;

namespace {

constexpr int kTextControl = 0xFFFF;
constexpr wchar_t kAnsweredProp[] = L"BytewrenTestAnswered";

std::wstring WindowText(HWND hwnd)
{
    wchar_t buf[2048] = {};
    ::GetWindowTextW(hwnd, buf, 2048);
    return buf;
}

UINT IconOf(HWND box)
{
    // The box shows one of the system's shared icons in a static control.
    struct Known { WORD id; UINT style; };
    static const Known known[] = {
        {32514 /* IDI_QUESTION */, MB_ICONQUESTION},
        {32515 /* IDI_EXCLAMATION */, MB_ICONEXCLAMATION},
        {32516 /* IDI_ASTERISK */, MB_ICONINFORMATION},
        {32513 /* IDI_HAND */, MB_ICONHAND},
    };
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        if (!icon)
            continue;
        for (const Known& k : known)
            if (icon == ::LoadIconW(nullptr, MAKEINTRESOURCEW(k.id)))
                return k.style;
    }
    return 0;
}

}  // namespace

bool IsMessageBox(HWND hwnd)
{
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    return std::wstring(cls) == L"#32770" && ::GetDlgItem(hwnd, kTextControl) != nullptr;
}

ShownBox ReadMessageBox(HWND box)
{
    ShownBox shown;
    shown.caption = WindowText(box);
    shown.text = WindowText(::GetDlgItem(box, kTextControl));
    shown.icon = IconOf(box);
    shown.owner = ::GetWindow(box, GW_OWNER);
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = ::GetDlgItem(box, id);
        if (button && (::GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE))
            shown.buttons.push_back(id);
    }
    return shown;
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers)
{
    Queue(std::move(answers));
    s_active = this;
    m_hook = ::SetWindowsHookExW(WH_CBT, CbtProc, nullptr, ::GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    ::UnhookWindowsHookEx(m_hook);
    s_active = nullptr;
}

void MessageBoxAnswerer::Queue(std::vector<int> answers)
{
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

void MessageBoxAnswerer::OnActivate(HWND box)
{
    ShownBox shown = ReadMessageBox(box);
    if (m_onShow)
        m_onShow(shown);
    bool hasNo = false;
    for (int id : shown.buttons)
        hasNo = hasNo || id == IDNO;
    int answer = hasNo ? IDNO : IDOK;
    if (m_policy) {
        answer = m_policy(shown);
    } else if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    shown.answer = answer;
    m_boxes.push_back(shown);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}

void MessageBoxAnswerer::RecordUnshown(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    if (!s_active)
        return;
    ShownBox box;
    box.caption = caption ? caption : L"";
    box.text = text ? text : L"";
    box.icon = style & MB_ICONMASK;
    box.buttons = (style & MB_TYPEMASK) == MB_YESNO ? std::vector<int>{IDYES, IDNO} : std::vector<int>{IDOK};
    box.owner = owner;
    box.shown = false;
    s_active->m_boxes.push_back(box);
}

LRESULT CALLBACK MessageBoxAnswerer::CbtProc(int code, WPARAM wp, LPARAM lp)
{
    if (code == HCBT_ACTIVATE && s_active) {
        HWND hwnd = reinterpret_cast<HWND>(wp);
        // A box can be activated again while open; answer it once.
        if (IsMessageBox(hwnd) && !::GetPropW(hwnd, kAnsweredProp)) {
            ::SetPropW(hwnd, kAnsweredProp, reinterpret_cast<HANDLE>(1));
            if (s_aroundAnswer)
                s_aroundAnswer(true);
            s_active->OnActivate(hwnd);
            if (s_aroundAnswer)
                s_aroundAnswer(false);
        }
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}
