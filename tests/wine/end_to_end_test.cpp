// The real Bytewren.exe, started with a target and driven from this process as a user
// would: fields filled in, buttons pressed, message boxes read and answered; the
// file's bytes checked on disk.
#include "res/resource.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/message_boxes.h"
#include "tests/wine/support/shortcuts.h"
#include "tests/wine/support/test_files.h"
#include "tests/wine/support/user_input.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

namespace {

// How long to wait for the program to show a window or end: generous, as a loaded
// machine can take several seconds to start a Wine process.
constexpr int kPatience = 30000;

std::string ProgramPath()
{
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + "Bytewren.exe";
}

class RunningProgram {
public:
    explicit RunningProgram(const std::string& arguments)
    {
        std::string line = "\"" + ProgramPath() + "\"" + (arguments.empty() ? "" : " " + arguments);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
            return;
        ::WaitForInputIdle(m_pi.hProcess, kPatience);
        // The caption is there as soon as the window is made, before its controls and
        // its initialisation: the dialog counts once it is shown, which comes after.
        m_main = WaitForWindow([this](HWND w) {
            wchar_t caption[64] = {};
            ::GetWindowTextW(w, caption, 64);
            return std::wstring(caption) == L"Bytewren v1.1" && ::IsWindowVisible(w) && ::GetDlgItem(w, IDC_EXIT);
        });
    }
    ~RunningProgram()
    {
        if (m_pi.hProcess) {
            if (::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                ::TerminateProcess(m_pi.hProcess, 1);
            ::CloseHandle(m_pi.hThread);
            ::CloseHandle(m_pi.hProcess);
        }
    }

    HWND main() const { return m_main; }
    HWND Item(int id) const { return ::GetDlgItem(m_main, id); }

    std::wstring Text(int id) const
    {
        wchar_t buf[1024] = {};
        ::SendMessageW(Item(id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf));
        return buf;
    }
    void SetText(int id, const std::wstring& text) const
    {
        ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    bool Checked(int id) const { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // Posted, not sent: Start runs modal boxes inside its handler.
    void Press(int id)
    {
        if (id == IDC_START)
            m_idleThreads = Threads();
        ::PostMessageW(m_main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
    }

    // Waits for the program's next message box, reads it, and presses answer in it.
    ShownBox Answer(int answer)
    {
        HWND box = WaitForWindow([this](HWND w) { return IsMessageBox(w) && w != m_lastBox && ::IsWindowVisible(w); });
        ShownBox shown;
        if (!box)
            return shown;
        m_lastBox = box;
        shown = ReadMessageBox(box);
        shown.answer = answer;
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        // Wait until it is gone, so the next box is not this one.
        for (int i = 0; i < 500 && ::IsWindow(box); ++i)
            ::Sleep(10);
        return shown;
    }
    // Waits for a dialog of the program's own other than a message box: a browse dialog.
    HWND WaitForPicker()
    {
        return WaitForWindow([this](HWND w) {
            wchar_t cls[16] = {};
            ::GetClassNameW(w, cls, 16);
            return std::wstring(cls) == L"#32770" && w != m_main && !IsMessageBox(w) && ::IsWindowVisible(w);
        });
    }
    // The program's threads: a walk runs threads of its own while it is on.
    int Threads() const
    {
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        int count = 0;
        for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
            count += entry.th32OwnerProcessID == m_pi.dwProcessId;
        ::CloseHandle(snapshot);
        return count;
    }
    // Presses Start and waits for the walk to be on: more threads than when idle.
    bool StartWalk()
    {
        Press(IDC_START);
        for (int i = 0; i < kPatience / 20; ++i) {
            if (Threads() > m_idleThreads)
                return true;
            ::Sleep(20);
        }
        return false;
    }
    bool NoBoxWithin(int milliseconds)
    {
        return !WaitForWindow([](HWND w) { return IsMessageBox(w) && ::IsWindowVisible(w); }, milliseconds);
    }
    // No box once the run is over: its threads have ended, and the program's thread has
    // come back to a message loop (the dialog's, or a box's if one came after all).
    // While a run is on, the dialog answers for the pointer over it itself, with the
    // busy cursor; idle, it leaves the pointer to the system. (Its threads stay, idle,
    // for the next run: their count does not tell.)
    bool RunIsOn() const
    {
        DWORD_PTR answer = 0;
        ::SendMessageTimeoutW(m_main, WM_SETCURSOR, reinterpret_cast<WPARAM>(m_main), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE),
                              SMTO_NORMAL, kPatience, &answer);
        return answer != FALSE;
    }
    bool NoBoxOnceTheRunIsOver()
    {
        for (int i = 0; i < kPatience / 20 && RunIsOn(); ++i)
            ::Sleep(20);
        return !RunIsOn() && NoBoxWithin(0);
    }

    // Exit code once the process has ended, or -1 if it is still running.
    int WaitForExit(int milliseconds = kPatience) const
    {
        if (::WaitForSingleObject(m_pi.hProcess, milliseconds) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_pi.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    template <class Pred> struct WindowSearch { DWORD pid; Pred* pred; HWND found; };

    // A window of the program's for which pred holds ends the enumeration.
    template <class Pred> static BOOL CALLBACK VisitWindow(HWND w, LPARAM lp)
    {
        auto* s = reinterpret_cast<WindowSearch<Pred>*>(lp);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid == s->pid && (*s->pred)(w)) {
            s->found = w;
            return FALSE;
        }
        return TRUE;
    }

    template <class Pred>
    HWND WaitForWindow(Pred pred, int milliseconds = kPatience) const
    {
        WindowSearch<Pred> s{m_pi.dwProcessId, &pred, nullptr};
        const DWORD end = ::GetTickCount() + milliseconds;
        do {
            ::EnumWindows(VisitWindow<Pred>, reinterpret_cast<LPARAM>(&s));
            if (s.found)
                return s.found;
            ::Sleep(20);
        } while (static_cast<LONG>(::GetTickCount() - end) < 0);
        return nullptr;
    }

    PROCESS_INFORMATION m_pi{};
    HWND m_main = nullptr;
    HWND m_lastBox = nullptr;
    int m_idleThreads = 0;  // the program's threads before the last Start
};

TEST(EndToEnd, FileGivenOnTheCommandLineIsFoundConfirmedAndPatched)
{
    TempDir dir;
    const std::string file = dir.File("game.dat", BytesOf("0123456789abcdefABCdef"));
    RunningProgram app("\"" + file + "\"");
    ASSERT_TRUE(app.main());
    EXPECT_EQ(app.Text(IDC_PATH), Wide(file));
    EXPECT_FALSE(app.Checked(IDC_OPEN_DIR));
    EXPECT_TRUE(app.Checked(IDC_ASK));

    app.SetText(IDC_FIND_HEX, L"41 42 43");
    app.SetText(IDC_REPLACE_HEX, L"58 59 5A");
    app.Press(IDC_START);
    const ShownBox ask = app.Answer(IDYES);
    EXPECT_TRUE(app.RunIsOn()) << "setup: a run on cannot be told from an idle dialog";
    EXPECT_EQ(ask.caption, L"Bytewren");
    EXPECT_EQ(ask.text, L"文件\"" + Wide(file) + L"\"\n找到关键位置：0x00000010。是否进行替换？");
    EXPECT_EQ(ask.buttons, (std::vector<int>{IDYES, IDNO}));
    const ShownBox again = app.Answer(IDNO);
    EXPECT_EQ(again.text, L"字符替换成功，是否继续替换？");
    EXPECT_TRUE(app.NoBoxOnceTheRunIsOver());
    EXPECT_EQ(ReadFileBytes(file), BytesOf("0123456789abcdefXYZdef"));

    // Exit ends the process at once.
    app.Press(IDC_EXIT);
    EXPECT_EQ(app.WaitForExit(), 0);
}

TEST(EndToEnd, FolderGivenOnTheCommandLineIsWalked)
{
    TempDir dir;
    const std::string a = dir.File("tree\\a.bin", BytesOf("xAB"));
    dir.File("tree\\b.bin", BytesOf("none"));
    const std::string c = dir.File("tree\\sub\\c.bin", BytesOf("xxAB"));
    RunningProgram app("\"" + dir / "tree" + "\"");
    ASSERT_TRUE(app.main());
    EXPECT_EQ(app.Text(IDC_PATH), Wide(dir / "tree"));
    EXPECT_TRUE(app.Checked(IDC_OPEN_DIR));

    app.SetText(IDC_FIND_HEX, L"41 42");
    app.Press(IDC_START);
    EXPECT_EQ(app.Answer(IDOK).text, L"文件\"" + Wide(a) + L"\"\n找到关键位置：0x00000001。");
    EXPECT_EQ(app.Answer(IDOK).text, L"文件\"" + Wide(c) + L"\"\n找到关键位置：0x00000002。");
    EXPECT_TRUE(app.NoBoxOnceTheRunIsOver());

    // The close box ends the dialog and with it the program.
    ::PostMessageW(app.main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app.WaitForExit(), 0);
}

// The close box clicked while a walk is busy with big files: the run stops where
// nothing is half done, the program ends with exit code 0, and nothing is written.
TEST(EndToEnd, CloseBoxDuringARunEndsTheProgramWithNothingWritten)
{
    TempDir dir;
    // Zeros the walk reads for seconds on any machine, held by the disk in no space at all.
    const std::string big = dir / "tree\\a0.big";
    dir.Dir("tree");
    MakeSparseFile(big, 8LL << 30);
    for (int i = 1; i < 16; ++i)
        ASSERT_TRUE(::CreateHardLinkA((dir / ("tree\\a" + std::to_string(i) + ".big")).c_str(), big.c_str(), nullptr));
    const std::string last = dir.File("tree\\z.bin", BytesOf("xxAB"));
    RunningProgram app("\"" + dir / "tree" + "\"");
    ASSERT_TRUE(app.main());
    app.SetText(IDC_FIND_HEX, L"41 42");
    app.SetText(IDC_REPLACE_HEX, L"59 5A");
    ::SendMessageW(app.Item(IDC_ASK), BM_SETCHECK, BST_UNCHECKED, 0);
    const POINT close = CloseBoxPoint(app.main());
    ASSERT_GT(close.x, 0) << "no close box found";

    ASSERT_TRUE(app.StartWalk()) << "setup: the walk never started";
    ClickAt(close);
    const int code = app.WaitForExit(10000);
    // Over before the click came, the run would have written z.bin and asked whether
    // to go on: then the machine searched 128 GiB faster than a click, not a fault.
    ASSERT_FALSE(code == -1 && !app.NoBoxWithin(0)) << "setup: the run ended before the click";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFileBytes(last), BytesOf("xxAB"));
}

TEST(EndToEnd, MissingPathLeavesThePathFieldEmpty)
{
    TempDir dir;
    RunningProgram app("\"" + dir / "missing.bin" + "\" second-argument");
    ASSERT_TRUE(app.main());
    EXPECT_EQ(app.Text(IDC_PATH), L"");
    EXPECT_FALSE(app.Checked(IDC_OPEN_DIR));
    app.Press(IDC_EXIT);
    EXPECT_EQ(app.WaitForExit(), 0);
}

TEST(EndToEnd, ShortcutGivenOnTheCommandLineStandsForItsTarget)
{
    TempDir dir;
    const std::string file = dir.File("data\\game.dat", BytesOf("xxABC"));
    ASSERT_TRUE(MakeShortcut(dir / "Game.LNK", file));
    ASSERT_TRUE(MakeShortcut(dir / "data.lnk", dir / "data"));
    {
        RunningProgram app("\"" + dir / "Game.LNK" + "\"");
        ASSERT_TRUE(app.main());
        EXPECT_EQ(app.Text(IDC_PATH), Wide(file));
        EXPECT_FALSE(app.Checked(IDC_OPEN_DIR));
        // The run is on the target.
        app.SetText(IDC_FIND_HEX, L"41 42 43");
        app.Press(IDC_START);
        EXPECT_EQ(app.Answer(IDOK).text, L"文件\"" + Wide(file) + L"\"\n找到关键位置：0x00000002。");
        app.Press(IDC_EXIT);
        EXPECT_EQ(app.WaitForExit(), 0);
    }
    {
        // A shortcut to a folder: the folder's path, but directory mode follows the
        // shortcut file itself.
        RunningProgram app("\"" + dir / "data.lnk" + "\"");
        ASSERT_TRUE(app.main());
        EXPECT_EQ(app.Text(IDC_PATH), Wide(dir / "data"));
        EXPECT_FALSE(app.Checked(IDC_OPEN_DIR));
        app.Press(IDC_EXIT);
        EXPECT_EQ(app.WaitForExit(), 0);
    }
}

TEST(EndToEnd, FileChosenWithBrowseBecomesThePath)
{
    TempDir dir;
    const std::string file = dir.File("picked.bin", BytesOf("x"));
    RunningProgram app("");
    ASSERT_TRUE(app.main());
    app.Press(IDC_BROWSE);
    HWND picker = app.WaitForPicker();
    ASSERT_TRUE(picker);
    const int nameBox = 0x047C;  // the file-open dialog's file name box
    for (int i = 0; i < kPatience / 20 && !::IsWindowVisible(::GetDlgItem(picker, nameBox)); ++i)
        ::Sleep(20);
    ::SendMessageW(::GetDlgItem(picker, nameBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(file).c_str()));
    ::PostMessageW(picker, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 250 && ::IsWindow(picker); ++i)
        ::Sleep(20);
    EXPECT_EQ(app.Text(IDC_PATH), Wide(file));
    EXPECT_FALSE(app.Checked(IDC_OPEN_DIR));
    app.Press(IDC_EXIT);
    EXPECT_EQ(app.WaitForExit(), 0);
}

// Patterns typed as text in the running program: the HEX views follow, and the search
// and the replacement use their bytes.
TEST(EndToEnd, PatternsTypedAsTextAreFoundAndReplaced)
{
    TempDir dir;
    const std::string file = dir.File("text.dat", BytesOf("0123Bytewren456789"));
    RunningProgram app("\"" + file + "\"");
    ASSERT_TRUE(app.main());

    app.SetText(IDC_FIND_ASCII, L"Bytewren");
    app.SetText(IDC_REPLACE_UTF8, L"字节");
    EXPECT_EQ(app.Text(IDC_FIND_HEX), L"42 79 74 65 77 72 65 6E");
    EXPECT_EQ(app.Text(IDC_FIND_UTF8), L"Bytewren");
    EXPECT_EQ(app.Text(IDC_REPLACE_HEX), L"E5 AD 97 E8 8A 82");
    EXPECT_EQ(app.Text(IDC_REPLACE_UNICODE), L"\xADE5\xE897\x828A");

    app.Press(IDC_START);
    EXPECT_EQ(app.Answer(IDYES).text, L"文件\"" + Wide(file) + L"\"\n找到关键位置：0x00000004。是否进行替换？");
    EXPECT_EQ(app.Answer(IDNO).text, L"字符替换成功，是否继续替换？");
    Bytes expected = BytesOf("0123");
    expected.insert(expected.end(), {0xE5, 0xAD, 0x97, 0xE8, 0x8A, 0x82});
    const Bytes tail = BytesOf("wren456789");
    expected.insert(expected.end(), tail.begin() + 2, tail.end());
    EXPECT_EQ(ReadFileBytes(file), expected);

    app.Press(IDC_EXIT);
    EXPECT_EQ(app.WaitForExit(), 0);
}

TEST(EndToEnd, UnicodePatternIsSearchedAsUtf16Bytes)
{
    TempDir dir;
    const Bytes content{'x', 'A', 0, 'B', 0, 'A', 'B', 'y'};
    const std::string file = dir.File("wide.dat", content);
    RunningProgram app("\"" + file + "\"");
    ASSERT_TRUE(app.main());

    app.SetText(IDC_FIND_UNICODE, L"AB");
    app.SetText(IDC_REPLACE_ASCII, L"CD");
    EXPECT_EQ(app.Text(IDC_FIND_HEX), L"41 00 42 00");
    EXPECT_EQ(app.Text(IDC_FIND_ASCII), L"A");
    EXPECT_EQ(app.Text(IDC_REPLACE_HEX), L"43 44");

    app.Press(IDC_START);
    EXPECT_EQ(app.Answer(IDYES).text, L"文件\"" + Wide(file) + L"\"\n找到关键位置：0x00000001。是否进行替换？");
    app.Answer(IDNO);
    EXPECT_EQ(ReadFileBytes(file), (Bytes{'x', 'C', 'D', 'B', 0, 'A', 'B', 'y'}));

    app.Press(IDC_EXIT);
    EXPECT_EQ(app.WaitForExit(), 0);
}

}  // namespace
