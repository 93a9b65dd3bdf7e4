#include "tests/wine/support/dialog_fixture.h"

#include "tests/wine/support/user_input.h"

#include <cstdlib>
#include <memory>

namespace {

// The application object supplies the dialog colours, as in the program.
struct TestApp : CReplaceApp {
    TestApp() { SetDialogBkColor(RGB(245, 245, 245), RGB(0, 0, 0)); }
};
TestApp g_app;

}  // namespace

void DialogTest::SetUp()
{
    m_answerer = std::make_unique<MessageBoxAnswerer>();
    if (!hwnd()) {
        ScopedArguments noArguments({"dialog_tests.exe"});
        ASSERT_TRUE(m_dlg.Create());
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    Pump(50);
}

void DialogTest::TearDown()
{
    if (hwnd())
        ::DestroyWindow(hwnd());
    Pump(20);
    m_answerer.reset();
}

std::wstring DialogTest::TextW(int id) const
{
    const int len = ::GetWindowTextLengthW(Item(id));
    std::wstring text(len + 1, L'\0');
    ::GetWindowTextW(Item(id), &text[0], len + 1);
    text.resize(len);
    return text;
}

std::string DialogTest::Text(int id) const
{
    const int len = ::GetWindowTextLengthA(Item(id));
    std::string text(len + 1, '\0');
    const int got = ::GetWindowTextA(Item(id), &text[0], len + 1);
    text.resize(got);
    return text;
}

void DialogTest::SetTextW(int id, const std::wstring& text) const
{
    ::SetWindowTextW(Item(id), text.c_str());
}

void DialogTest::SetText(int id, const std::string& text) const
{
    ::SetWindowTextA(Item(id), text.c_str());
}

bool DialogTest::Checked(int id) const
{
    return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DialogTest::SetChecked(int id, bool checked) const
{
    ::SendMessageW(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DialogTest::Click(int id) const
{
    ::SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

void DialogTest::Pump(int milliseconds, const std::function<bool()>& done)
{
    const DWORD end = ::GetTickCount() + milliseconds;
    DWORD idleSince = ::GetTickCount();
    for (;;) {
        MSG msg;
        bool any = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            m_dlg.RouteMessage(msg);
        }
        if (done && done())
            return;
        const DWORD now = ::GetTickCount();
        if (any)
            idleSince = now;
        if (static_cast<LONG>(now - end) >= 0 && (done || now - idleSince >= 30))
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void DialogTest::Focus(int id)
{
    ::SetForegroundWindow(hwnd());
    ::SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
    Pump(30);
}

void DialogTest::TypeKeys(const std::vector<WORD>& virtualKeys)
{
    for (WORD vk : virtualKeys) {
        PressKey(vk);
        Pump(20);
    }
    Pump(60);
}

void DialogTest::TypeText(const std::wstring& text)
{
    for (wchar_t ch : text) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = ch;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
        Pump(20);
    }
    Pump(60);
}

ScopedArguments::ScopedArguments(std::vector<std::string> args)
    : m_storage(std::move(args)), m_savedArgc(__argc), m_savedArgv(__argv)
{
    for (std::string& a : m_storage)
        m_argv.push_back(&a[0]);
    m_argv.push_back(nullptr);
    __argc = static_cast<int>(m_storage.size());
    __argv = m_argv.data();
}

ScopedArguments::~ScopedArguments()
{
    __argc = m_savedArgc;
    __argv = m_savedArgv;
}
