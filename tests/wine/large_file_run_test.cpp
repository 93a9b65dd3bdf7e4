// Start on the real dialog with a file past 5 GiB: occurrences past 4 GiB, across the
// boundary of two views and in the last bytes are found, shown with all their digits
// and replaced exactly there, and nothing else in the file changes.
#include "engine/search_file.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/process_counts.h"
#include "tests/wine/support/scan_run_fixture.h"
#include "tests/wine/support/user_input.h"

#include <algorithm>
#include <atomic>
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
    ExpectBox(0, Ask(file, L"0x01FFFFFE"), MB_ICONQUESTION, kYesNo);
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
    // The search takes seconds: meanwhile the dialog looks at its queue and paints what
    // needs it, before any box of the run is up. What another program sends it then is
    // handled too: a new find pattern set meanwhile changes neither what is searched
    // for nor what the write checks (the file is zeros wherever it does not hold the
    // pattern, so searching for "00 00" would stop at once).
    enum Painted { kNot, kDuringTheSearch, kOnlyOnceABoxWasUp };
    std::atomic<Painted> painted{kNot};
    std::thread watcher([this, &painted, thread = ::GetCurrentThreadId()] {
        ::Sleep(100);
        const HWND path = Item(IDC_PATH);
        ::InvalidateRect(path, nullptr, TRUE);
        for (int i = 0; i < 3000 && painted == kNot; ++i) {
            if (!::GetUpdateRect(path, nullptr, FALSE))
                painted = BoxIsUp(thread) ? kOnlyOnceABoxWasUp : kDuringTheSearch;
            ::Sleep(5);
        }
        ::SendMessageW(Item(IDC_FIND_HEX), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"00 00"));
    });
    Start({IDYES, IDNO});
    watcher.join();
    EXPECT_EQ(painted, kDuringTheSearch);
    EXPECT_EQ(TextW(IDC_FIND_HEX), L"00 00");
    ASSERT_EQ(Boxes().size(), 2u) << Said();
    ExpectBox(0, Ask(file, L"0x13FFFFFFF"), MB_ICONQUESTION, kYesNo);
    ExpectBox(1, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(around.Now(), around.With(at, BytesOf("CODO")));
    EXPECT_EQ(FileLength(file), kLargeFileBytes);
}

// Runs that take seconds: the large file searched, under other names too (hard links).
class LongRunTest : public ScanRunTest {
protected:
    std::string Link(const std::string& name)
    {
        const std::string path = dir / name;
        ::CreateDirectoryA((dir / "tree").c_str(), nullptr);
        EXPECT_TRUE(::CreateHardLinkA(path.c_str(), SharedLargeFile().c_str(), nullptr)) << path;
        return path;
    }
};

// Esc while a walk is busy with big files stops it where nothing is half done: no box,
// the file behind them unwritten, every thread of the run gone; a later Start works.
TEST_F(LongRunTest, EscStopsARunAndALaterStartWorks)
{
    const std::vector<std::string> bigs = {Link("tree\\a1.big"), Link("tree\\a2.big"), Link("tree\\a3.big"),
                                           Link("tree\\a4.big")};
    const std::string last = dir.File("tree\\z.bin", BytesOf("xxAB"));
    SetChecked(IDC_OPEN_DIR, true);
    SetChecked(IDC_ASK, false);
    SetText(IDC_PATH, dir / "tree");
    Patterns("41 42", "59 5A");
    Focus(IDC_PATH);
    const int threads = ThreadCount();
    HCURSOR shown = nullptr;
    std::thread user([&] {
        ::Sleep(150);
        // The pointer over the dialog during the run: the arrow with the hourglass.
        if (::SendMessageW(hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE))) {
            CURSORINFO info{};
            info.cbSize = sizeof info;
            ::GetCursorInfo(&info);
            shown = info.hCursor;
        }
        PressKey(VK_ESCAPE);
    });
    const DWORD started = ::GetTickCount();
    Start({IDNO});
    const DWORD took = ::GetTickCount() - started;
    user.join();
    EXPECT_LT(took, 1500u) << "ms: 20 GiB were searched instead";
    EXPECT_TRUE(Boxes().empty()) << Said();
    EXPECT_EQ(ReadFileBytes(last), BytesOf("xxAB"));
    EXPECT_FALSE(m_dlg.IsRunning());
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_TRUE(::IsWindowVisible(hwnd())) << "Esc closed the dialog";
    EXPECT_EQ(shown, ::LoadCursorA(nullptr, IDC_APPSTARTING));

    for (const std::string& big : bigs)
        ::DeleteFileA(big.c_str());
    Start({IDNO});
    ASSERT_EQ(Boxes().size(), 1u) << Said();
    ExpectBox(0, kContinue, MB_ICONQUESTION, kYesNo);
    EXPECT_EQ(ReadFileBytes(last), BytesOf("xxYZ"));
}

// A click on 开始 while a run is on is dropped, not kept to start the same run again
// once this one has ended.
TEST_F(LongRunTest, ClickOnStartDuringARunStartsNoSecondRun)
{
    SetText(IDC_PATH, SharedLargeFile());
    Patterns("7A 7A 7A 7A 21", "");
    Focus(IDC_PATH);
    std::thread user([this] {
        ::Sleep(150);
        RECT r;
        ::GetWindowRect(Item(IDC_START), &r);
        ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    });
    Start();
    user.join();
    Pump(500);
    ASSERT_EQ(Boxes().size(), 1u) << Said();
    ExpectBox(0, kNotFound, MB_ICONINFORMATION, kOk);
}

}  // namespace
