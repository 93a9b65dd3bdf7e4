// Start on the real dialog with a file past 5 GiB: occurrences past 4 GiB, across the
// boundary of two views and in the last bytes are found, shown with all their digits
// and replaced exactly there, and nothing else in the file changes.
#include "engine/search_file.h"
#include "tests/wine/support/fault_injection.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/process_counts.h"
#include "tests/wine/support/scan_run_fixture.h"
#include "tests/wine/support/user_input.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <thread>
#include <vector>

namespace {

// Bytes read around a place before the run, to check after it that only the
// replaced bytes changed.
struct Surroundings {
    static constexpr int64_t kMargin = 64 << 10;

    Surroundings(const std::string& path, int64_t offset, size_t count)
        : path(path), from(std::max<int64_t>(0, offset - kMargin)),
          bytes(ReadBytesAt(path, from, static_cast<size_t>(offset - from) + count + kMargin))
    {
    }
    // What they must be once count bytes at offset are replaced.
    Bytes With(int64_t offset, const Bytes& replacement) const
    {
        Bytes expected = bytes;
        std::copy(replacement.begin(), replacement.end(), expected.begin() + (offset - from));
        return expected;
    }
    Bytes Now() const { return ReadBytesAt(path, from, bytes.size()); }

    std::string path;
    int64_t from;
    Bytes bytes;
};

BOOL CALLBACK FindBox(HWND w, LPARAM lp)
{
    if (!IsMessageBox(w) || !::IsWindowVisible(w))
        return TRUE;
    *reinterpret_cast<bool*>(lp) = true;
    return FALSE;
}

// Whether a message box of thread is up.
bool BoxIsUp(DWORD thread)
{
    bool up = false;
    ::EnumThreadWindows(thread, FindBox, reinterpret_cast<LPARAM>(&up));
    return up;
}

class LargeFileRunTest : public ScanRunTest {
protected:
    void SetUp() override
    {
        ScanRunTest::SetUp();
        SetText(IDC_PATH, file);
    }

    const std::string& file = SharedLargeFile();
};

// Each search of the file reads gigabytes of zeros, so each test runs one.
TEST_F(LargeFileRunTest, OccurrencePast4GiBIsShownInFullAndReplacedThere)
{
    const Bytes pattern = BytesOf("1N2N");
    const int64_t at = 0x100000010;
    WriteBytesAt(file, at, pattern);
    const Surroundings around(file, at, 4);

    Patterns("31 4E 32 4E", "41 4F 42 4F");
    Start({IDYES, IDNO});
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    ExpectBox(0, Ask(file, L"0x100000010"), MB_ICONQUESTION, kYesNo);
    ExpectBox(1, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(around.Now(), around.With(at, BytesOf("AOBO")));
    EXPECT_EQ(FileLength(file), kLargeFileBytes);
}

TEST_F(LargeFileRunTest, OccurrenceAcrossTwoViewsIsFoundAndReplaced)
{
    const Bytes pattern = BytesOf("3N4N");
    const int64_t at = kSearchViewBytes - 2;  // two bytes in the first view, two in the next
    WriteBytesAt(file, at, pattern);
    const Surroundings around(file, at, 4);

    Patterns("33 4E 34 4E", "55 66");  // a shorter replacement leaves the tail
    Start({IDYES, IDNO});
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    wchar_t offset[16];
    std::swprintf(offset, 16, L"0x%08llX", static_cast<unsigned long long>(at));
    ExpectBox(0, Ask(file, offset), MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(around.Now(), around.With(at, BytesOf("Uf")));
    EXPECT_EQ(FileLength(file), kLargeFileBytes);
}

TEST_F(LargeFileRunTest, OccurrenceInTheLastBytesIsFoundAndReplaced)
{
    const Bytes pattern = BytesOf("5N6N");
    const int64_t at = kLargeFileBytes - 4;
    WriteBytesAt(file, at, pattern);
    const Surroundings around(file, at, 4);

    Patterns("35 4E 36 4E", "43 4F 44 4F");
    // While the search is held in its open, the dialog pumps its messages and paints
    // what needs it, before any box of the run is up. What another program sends it
    // then is handled too: a new find pattern set meanwhile changes neither what is
    // searched for nor what the write checks (the file is zeros wherever it does not
    // hold the pattern, so searching for "00 00" would stop at once).
    enum Painted { kNot, kDuringTheSearch, kOnlyOnceABoxWasUp };
    std::atomic<Painted> painted{kNot};
    bool held = false;
    faults::OnCreateFileA([&, thread = ::GetCurrentThreadId()](const char* opened, DWORD access) {
        if (file != opened || (access & GENERIC_WRITE) || held)
            return;
        held = true;
        const HWND path = Item(IDC_PATH);
        ::InvalidateRect(path, nullptr, TRUE);
        for (int i = 0; i < 2000 && painted == kNot; ++i) {
            if (!::GetUpdateRect(path, nullptr, FALSE))
                painted = BoxIsUp(thread) ? kOnlyOnceABoxWasUp : kDuringTheSearch;
            ::Sleep(5);
        }
        ::SendMessageW(Item(IDC_FIND_HEX), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"00 00"));
    });
    Start({IDYES, IDNO});
    faults::OnCreateFileA(nullptr);
    ASSERT_TRUE(held) << "setup: the search never opened the file";
    EXPECT_EQ(painted, kDuringTheSearch);
    EXPECT_EQ(TextW(IDC_FIND_HEX), L"00 00");
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    ExpectBox(0, Ask(file, L"0x13FFFFFFF"), MB_ICONQUESTION, kYesNo);
    ExpectBox(1, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(around.Now(), around.With(at, BytesOf("CODO")));
    EXPECT_EQ(FileLength(file), kLargeFileBytes);
}

// Runs held up where the test says: a file's open held through the test's seam, as a
// slow share holds it, until the test lets it go.
class LongRunTest : public ScanRunTest {
protected:
    void SetUp() override
    {
        ScanRunTest::SetUp();
        // The seam set up before anything is counted: it makes the threads library's
        // record of this thread, with handles of its own.
        faults::Install();
        m_held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override
    {
        Release();
        faults::OnCreateFileA(nullptr);
        ScanRunTest::TearDown();
        ::CloseHandle(m_held);
        ::CloseHandle(m_release);
    }

    // Holds the next open of path for reading, for up to 30 s, until Release.
    void HoldOpenOf(const std::string& path)
    {
        ::ResetEvent(m_held);
        ::ResetEvent(m_release);
        faults::OnCreateFileA([this, path](const char* opened, DWORD access) {
            if (path != opened || (access & GENERIC_WRITE) || ::WaitForSingleObject(m_held, 0) == WAIT_OBJECT_0)
                return;
            ::SetEvent(m_held);
            ::WaitForSingleObject(m_release, 30000);
        });
    }
    bool WaitHeld() const { return ::WaitForSingleObject(m_held, 10000) == WAIT_OBJECT_0; }
    void Release() const { ::SetEvent(m_release); }
    // Waits for the threads a stopped run left to end, as a slow share's answer lets them.
    bool LeftThreadsEnd()
    {
        for (int i = 0; i < 1000 && m_dlg.ThreadsLeft(); ++i)
            ::Sleep(10);
        return !m_dlg.ThreadsLeft();
    }
    static bool Running(void* dlg) { return static_cast<CReplaceDlg*>(dlg)->IsRunning(); }

    HANDLE m_held = nullptr, m_release = nullptr;
};

// A thread of the run held up in an open for as long as a slow share takes: Esc leaves
// the dialog idle at once, and the close box ends it at once; the thread ends on its
// own later and closes what it opened; nothing of a stopped run writes, and the next
// Start joins what the stopped one left.
TEST_F(LongRunTest, StopWhileAThreadIsHeldUpInAnOpen)
{
    const std::string slow = dir.File("tree\\a.slow", BytesOf("xxAB"));
    const std::string last = dir.File("tree\\z.bin", BytesOf("xxAB"));
    SetChecked(IDC_OPEN_DIR, true);
    SetChecked(IDC_ASK, false);
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "59 5A");
    Focus(IDC_PATH);
    // What the system keeps of a first run (the taskbar's COM class) is there before counting.
    SetText(IDC_PATH, dir.Dir("empty"));
    Start();
    SetText(IDC_PATH, dir / "tree");
    int threads = 0, handles = 0;
    SettledCounts(threads, handles);

    HoldOpenOf(slow);
    HCURSOR shown = nullptr;
    DWORD pressed = 0;
    TestThread user([&] {
        if (!WaitHeld())
            return;
        // The pointer over the dialog during the run: the arrow with the hourglass.
        if (::SendMessageW(hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE))) {
            CURSORINFO info{};
            info.cbSize = sizeof info;
            ::GetCursorInfo(&info);
            shown = info.hCursor;
        }
        pressed = ::GetTickCount();
        PressKey(VK_ESCAPE);
    });
    {
        TakenWatch esc(WM_KEYDOWN, nullptr, Running, &m_dlg);
        Start();
        const DWORD idle = ::GetTickCount();
        user.join();
        ASSERT_TRUE(esc.Taken() && esc.StateWhenTaken()) << "setup: Esc never reached the dialog during the run";
        // The queue is looked at every 100 ms, the threads get 100 ms to stop: 500 ms
        // leaves room for a loaded machine.
        EXPECT_LT(idle - pressed, 500u) << "ms from Esc to an idle dialog";
    }
    EXPECT_TRUE(m_dlg.ThreadsLeft()) << "setup: the held thread ended before the dialog was idle";
    EXPECT_TRUE(Boxes().empty()) << Said();
    EXPECT_EQ(ReadFileBytes(last), BytesOf("xxAB"));
    EXPECT_TRUE(::IsWindowVisible(hwnd())) << "Esc closed the dialog";
    EXPECT_EQ(shown, ::LoadCursorA(nullptr, IDC_APPSTARTING));

    Release();
    ASSERT_TRUE(LeftThreadsEnd()) << "the held thread never ended";
    EXPECT_TRUE(CountsComeBackTo(threads, handles))
        << "the thread left open what it opened: " << ThreadCount() << " threads, " << HandleCount()
        << " handles, against " << threads << " and " << handles;

    faults::OnCreateFileA(nullptr);
    Start({IDNO, IDNO});
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    EXPECT_EQ(ReadFileBytes(slow), BytesOf("xxYZ"));
    EXPECT_EQ(ReadFileBytes(last), BytesOf("xxYZ"));

    // The close box in the same case: the dialog ends at once, and the program with it
    // (CReplaceApp ends the process where threads are left).
    WriteFileBytes(slow, BytesOf("xxAB"));
    WriteFileBytes(last, BytesOf("xxAB"));
    answerer()->Clear();
    HoldOpenOf(slow);
    const POINT close = CloseBoxPoint(hwnd());
    ASSERT_GT(close.x, 0) << "no close box found";
    TestThread closer([&] {
        if (!WaitHeld())
            return;
        pressed = ::GetTickCount();
        ClickAt(close);
    });
    const HWND window = hwnd();
    Start();
    const DWORD ended = ::GetTickCount();
    closer.join();
    ASSERT_NE(pressed, 0u) << "setup: the open was never held";
    EXPECT_FALSE(::IsWindow(window)) << "the dialog outlived the close box";
    // As for Esc, 200 ms of looking and grace; the rest of the second is for a loaded machine.
    EXPECT_LT(ended - pressed, 1000u) << "ms from the close box to the end of the dialog";
    EXPECT_TRUE(m_dlg.ThreadsLeft()) << "setup: the held thread ended before the dialog did";
    EXPECT_TRUE(Boxes().empty()) << Said();
    EXPECT_EQ(ReadFileBytes(last), BytesOf("xxAB"));
    Release();
    EXPECT_TRUE(LeftThreadsEnd()) << "the held thread never ended";
}

// A click on 开始 while a run is on is dropped, not kept to start the same run again
// once this one has ended. The run is held in its open until the click has been taken.
TEST_F(LongRunTest, ClickOnStartDuringARunStartsNoSecondRun)
{
    const std::string file = dir.File("s.bin", BytesOf("nothing here"));
    SetText(IDC_PATH, file);
    Patterns("41 42", "");
    Focus(IDC_PATH);
    TakenWatch click(WM_LBUTTONUP, Item(IDC_START), Running, &m_dlg);
    faults::OnCreateFileA([&](const char* path, DWORD) {
        if (file != path || click.Taken())
            return;
        RECT r;
        ::GetWindowRect(Item(IDC_START), &r);
        ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        for (int i = 0; i < 1000 && !click.Taken(); ++i)
            ::Sleep(10);
    });
    Start();
    faults::OnCreateFileA(nullptr);
    ASSERT_TRUE(click.Taken() && click.StateWhenTaken()) << "setup: the click never reached the dialog during the run";
    Pump();  // a click kept for after the run would start one now
    ASSERT_EQ(Boxes().size(), 1u) << Said();
    ExpectBox(0, kNotFound, MB_ICONINFORMATION, kOk);
}

}  // namespace
