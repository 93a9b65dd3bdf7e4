// The main dialog's frame: start-up state, template, keyboard rules, colours, help.
#include "tests/wine/support/dialog_fixture.h"

#include <imm.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using MainDialogTest = DialogTest;

std::wstring ClassOf(HWND hwnd)
{
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    return cls;
}

TEST_F(MainDialogTest, StartsWithAskCheckedAndTypingLimits)
{
    EXPECT_TRUE(Checked(IDC_ASK));
    EXPECT_FALSE(Checked(IDC_OPEN_DIR));
    EXPECT_EQ(TextW(IDC_PATH), L"");
    for (int id : {IDC_FIND_HEX, IDC_FIND_ASCII, IDC_FIND_UNICODE, IDC_REPLACE_HEX, IDC_REPLACE_ASCII,
                   IDC_REPLACE_UNICODE})
        EXPECT_EQ(::SendMessageW(Item(id), EM_GETLIMITTEXT, 0, 0), 1024) << id;
    for (int id : {IDC_FIND_UTF8, IDC_REPLACE_UTF8, IDC_PATH})
        EXPECT_GT(::SendMessageW(Item(id), EM_GETLIMITTEXT, 0, 0), 1024) << id;
    EXPECT_EQ(::GetFocus(), Item(IDC_PATH));
}

// Keys typed into a HEX view always arrive as characters: no input method there. The
// text views keep the thread's.
TEST_F(MainDialogTest, HexViewsGoWithoutAnInputMethod)
{
    const HIMC text = ::ImmGetContext(Item(IDC_FIND_ASCII));
    if (!text)
        GTEST_SKIP() << "no input method context on this system (Wine has none)";
    ::ImmReleaseContext(Item(IDC_FIND_ASCII), text);
    for (int id : {IDC_FIND_HEX, IDC_REPLACE_HEX})
        EXPECT_EQ(::ImmGetContext(Item(id)), nullptr) << id;
}

TEST_F(MainDialogTest, TemplateHasEveryControlInTabOrder)
{
    wchar_t caption[64] = {};
    ::GetWindowTextW(hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Bytewren v1.1");

    const int order[] = {IDC_PATH, IDC_BROWSE, IDC_OPEN_DIR, IDC_FIND_ASCII, IDC_FIND_UTF8, IDC_FIND_UNICODE,
                         IDC_FIND_HEX, IDC_REPLACE_ASCII, IDC_REPLACE_UTF8, IDC_REPLACE_UNICODE, IDC_REPLACE_HEX,
                         IDC_ASK, IDC_START, IDC_EXIT};
    HWND at = Item(IDC_PATH);
    for (size_t i = 1; i < std::size(order); ++i) {
        at = ::GetNextDlgTabItem(hwnd(), at, FALSE);
        EXPECT_EQ(::GetDlgCtrlID(at), order[i]) << "tab stop " << i;
    }
    EXPECT_EQ(::GetNextDlgTabItem(hwnd(), at, FALSE), Item(IDC_PATH));

    EXPECT_EQ(TextW(IDC_BROWSE), L"浏览...");
    EXPECT_EQ(TextW(IDC_OPEN_DIR), L"打开目录");
    EXPECT_EQ(TextW(IDC_ASK), L"替换时询问");
    EXPECT_EQ(TextW(IDC_START), L"开始");
    EXPECT_EQ(TextW(IDC_EXIT), L"退出");

    // Labels, group boxes and the help label, in template order.
    std::vector<std::wstring> statics;
    HWND help = nullptr;
    for (HWND c = ::GetWindow(hwnd(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        if (::GetDlgCtrlID(c) != 0xFFFF && ::GetDlgCtrlID(c) != -1)
            continue;
        wchar_t text[128] = {};
        ::GetWindowTextW(c, text, 128);
        statics.push_back(text);
        help = c;
    }
    const std::vector<std::wstring> expected = {
        L"ASCII", L"UNICODE", L"HEX", L"查找 Find", L"ASCII", L"UNICODE", L"HEX", L"替换 Replace",
        L"打开文件 Open Files | 打开目录 Open Directory", L"Path", L"UTF-8", L"UTF-8",
        L"获得帮助请访问：bytewren.test"};
    EXPECT_EQ(statics, expected);
    ASSERT_TRUE(help);
    EXPECT_FALSE(::IsWindowEnabled(help));
    EXPECT_EQ(ClassOf(help), L"Static");
}

TEST_F(MainDialogTest, EnterAndEscapeNeverCloseTheDialog)
{
    for (int id : {IDC_PATH, IDC_FIND_HEX, IDC_START, IDC_ASK}) {
        Focus(id);
        TypeKeys({VK_RETURN, VK_ESCAPE});
        ASSERT_TRUE(::IsWindow(hwnd())) << id;
        EXPECT_TRUE(::IsWindowVisible(hwnd())) << id;
    }
    EXPECT_TRUE(answerer()->boxes().empty());
}

TEST_F(MainDialogTest, F1ShowsNothing)
{
    for (int id : {IDC_PATH, IDC_REPLACE_HEX, IDC_EXIT}) {
        Focus(id);
        TypeKeys({VK_F1});
    }
    EXPECT_TRUE(answerer()->boxes().empty());
}

TEST_F(MainDialogTest, HelpRequestShowsTheAboutMessage)
{
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    ::SendMessageW(hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(answerer()->boxes().size(), 1u);
    const ShownBox& box = answerer()->boxes()[0];
    EXPECT_EQ(box.caption, L"Bytewren");
    EXPECT_EQ(box.text, L"获取更多帮助请访问：https://bytewren.test\n\n日期：2010.08.29\n版本：v1.1");
    EXPECT_EQ(box.icon, static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
}

TEST_F(MainDialogTest, CloseBoxEndsTheDialog)
{
    ::SendMessageW(hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump(50);
    EXPECT_FALSE(hwnd());
}

TEST_F(MainDialogTest, EditTextIsDarkBlue)
{
    HDC dc = ::GetDC(Item(IDC_FIND_HEX));
    ::SendMessageW(hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(Item(IDC_FIND_HEX)));
    EXPECT_EQ(::GetTextColor(dc), RGB(0, 0, 100));
    ::ReleaseDC(Item(IDC_FIND_HEX), dc);

    HDC dlgDc = ::GetDC(hwnd());
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(hwnd(), WM_CTLCOLORDLG,
                                                               reinterpret_cast<WPARAM>(dlgDc),
                                                               reinterpret_cast<LPARAM>(hwnd())));
    LOGBRUSH lb{};
    ASSERT_TRUE(::GetObjectW(brush, sizeof lb, &lb));
    EXPECT_EQ(lb.lbColor, RGB(245, 245, 245));
    ::ReleaseDC(hwnd(), dlgDc);
}

TEST_F(MainDialogTest, PressOnTheBackgroundStartsAWindowMove)
{
    // The press becomes a caption press: WM_NCLBUTTONDOWN with HTCAPTION is posted.
    ::SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, hwnd(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(HTCAPTION));
}

TEST_F(MainDialogTest, DraggingTheBackgroundMovesTheWindow)
{
    RECT before;
    ::GetWindowRect(hwnd(), &before);
    // A point on the dialog's face between the controls: left of the Path label.
    POINT p{2, 40};
    ::ClientToScreen(hwnd(), &p);
    ::SetForegroundWindow(hwnd());
    auto mouse = [](DWORD flags, int x, int y) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
        ::SendInput(1, &in, sizeof in);
    };
    // The move runs a modal loop inside this thread's dispatch, so the input comes
    // from another thread while this one pumps.
    std::atomic<bool> released{false};
    std::thread user([&] {
        mouse(0, p.x, p.y);
        ::Sleep(50);
        mouse(MOUSEEVENTF_LEFTDOWN, p.x, p.y);
        ::Sleep(50);
        for (int i = 1; i <= 4; ++i) {
            mouse(0, p.x + 10 * i, p.y + 5 * i);
            ::Sleep(30);
        }
        mouse(MOUSEEVENTF_LEFTUP, p.x + 40, p.y + 20);
        released = true;
    });
    // Pumped until the button is let go and the window has followed the pointer, or
    // until it plainly will not.
    RECT after;
    Pump(10000, [&] {
        ::GetWindowRect(hwnd(), &after);
        return released && after.left - before.left == 40 && after.top - before.top == 20;
    });
    user.join();
    Pump(50);
    ::GetWindowRect(hwnd(), &after);
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 20);
}

TEST_F(MainDialogTest, StartedWithArgumentsTakesOnlyTheFirst)
{
    ::DestroyWindow(hwnd());
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = temp;
    if (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    {
        ScopedArguments args({"Bytewren.exe", folder, "C:\\windows"});
        ASSERT_TRUE(m_dlg.Create());
    }
    EXPECT_EQ(Text(IDC_PATH), folder);
    EXPECT_TRUE(Checked(IDC_OPEN_DIR));
}

}  // namespace

namespace {

// The icon and the manifest the executable carries.
TEST(Resources, IconGroupHoldsThree32BitImages)
{
#pragma pack(push, 2)
    struct GroupEntry { BYTE width, height, colors, reserved; WORD planes, bitCount; DWORD bytes; WORD id; };
    struct GroupHeader { WORD reserved, type, count; };
#pragma pack(pop)
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_TRUE(res);
    const auto* header = static_cast<const GroupHeader*>(::LockResource(::LoadResource(nullptr, res)));
    ASSERT_EQ(header->count, 3);
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    std::vector<int> sizes;
    for (int i = 0; i < header->count; ++i) {
        sizes.push_back(entries[i].width);
        EXPECT_EQ(entries[i].width, entries[i].height);
        EXPECT_EQ(entries[i].bitCount, 32);
    }
    EXPECT_EQ(sizes, (std::vector<int>{48, 32, 16}));
}

TEST(Resources, ManifestIsUtf8WithCarriageReturnLinesAsksForCommonControls6AndRunsAsInvoker)
{
    HRSRC res = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_TRUE(res);
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, res)));
    const std::string text(data, ::SizeofResource(nullptr, res));
    EXPECT_EQ(text.rfind("<?xml", 0), 0u) << "no byte-order mark";
    EXPECT_EQ(text.find('\n'), std::string::npos);
    EXPECT_NE(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("name=\"Company.Product.Name\""), std::string::npos);
    // Declared, so Windows does not redirect writes to protected folders behind the
    // program's back (file virtualisation) but lets them fail.
    EXPECT_NE(text.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), std::string::npos);
    EXPECT_NE(text.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
}

}  // namespace
