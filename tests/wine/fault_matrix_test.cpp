// Every system call a run makes, and every allocation, failed in turn: for each k the
// k-th call of one function fails with the error a real failure gives (and, where a
// second function is named, every call of it after that), until a run completes
// without reaching k. After every run the dialog is idle, the threads and handles are
// back to where they were, no view is mapped, and every file holds exactly what the
// boxes said: the replacement where a success was reported, its old bytes where a
// failure was. Only two faults in one run may leave a file that cannot be put back,
// and the box then says so.
#include "tests/wine/support/fault_injection.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/process_counts.h"
#include "tests/wine/support/scan_run_fixture.h"
#include "tests/wine/support/user_input.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

const std::wstring kWriteFailedLeftChanged = std::wstring(kWriteFailed) + L"\n未能恢复文件原样，文件可能已被改动。";

// A file of a scenario: literal bytes, or a sparse file of zeros holding the pattern
// at an offset.
struct Target {
    std::string name;
    Bytes content = {};  // a small file's bytes
    Bytes done = {};     // and what they are once a run without a failure is over
    int64_t size = 0;  // else a sparse file of this size
    int64_t at = -1;   // where the pattern lies; replaced by a run without a failure
};

struct Scenario {
    bool walk = false;
    std::string findHex, replaceHex;  // as typed into the HEX views
    std::vector<Target> targets;      // in walk order
    bool ask = true;
    bool goOn = false;          // Yes to going on, until the pattern is no longer found
    Bytes movedTo = {};         // another program rewrites the first target so before it is written
    int escapeAt = -1;          // Esc pressed while this target is opened to be searched
    bool dropped = false;       // the single target, named with a letter no code page has, is dropped
    bool lockedAtStart = false;  // another program has locked the first page of the first target
};

// Two faults in one run: every call of then fails once fault has.
struct Faults {
    Fault fault;
    Fault then = Fault::None;
};

Bytes Decoded(const std::string& hex)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 3)
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

int64_t Find(const Bytes& in, const Bytes& what)
{
    const auto at = std::search(in.begin(), in.end(), what.begin(), what.end());
    return what.empty() || at == in.end() ? -1 : at - in.begin();
}

// How far around the pattern a large file is compared.
constexpr int64_t kAround = 4096;

// What a target holds, as far as the checks look: a small file's bytes, a large file's
// bytes around the pattern; and the length.
struct Held {
    Bytes bytes;
    int64_t length = 0;
    bool operator==(const Held& o) const { return bytes == o.bytes && length == o.length; }
    bool operator!=(const Held& o) const { return !(*this == o); }
};

// Failure messages show the bytes as text, a dot for each byte that is not printable,
// around the pattern of a large file.
void PrintTo(const Held& held, std::ostream* out)
{
    const size_t from = held.bytes.size() > 96 ? kAround - 32 : 0;
    *out << held.length << " bytes, \"";
    for (size_t i = from; i < std::min(held.bytes.size(), from + 96); ++i)
        *out << (held.bytes[i] >= 0x20 && held.bytes[i] < 0x7F ? static_cast<char>(held.bytes[i]) : '.');
    *out << '"';
}

class FaultMatrixTest : public ScanRunTest, public ::testing::WithParamInterface<Faults> {
protected:
    void SetUp() override
    {
        ScanRunTest::SetUp();
        faults::Install();
        // The threads library makes its record of this thread, with handles of its own
        // that live as long as the thread, the first time the thread waits with a time
        // limit, as a walk's dialogue does: make it before any count is taken.
        std::mutex mutex;
        std::condition_variable changed;
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(1));
    }
    void TearDown() override
    {
        faults::OnCreateFileA(nullptr);
        ScanRunTest::TearDown();
    }

    std::wstring WideName(const Target& t) const { return Wide(dir / t.name) + (m_s->dropped ? L"\u0100" : L""); }
    // The 8-bit path the program names the target by: for a name no code page spells,
    // its short form.
    std::string PathOf(const Target& t) const
    {
        if (!m_s->dropped)
            return dir / t.name;
        const faults::Unwatched unwatched;
        wchar_t shortPath[MAX_PATH] = {};
        ::GetShortPathNameW(WideName(t).c_str(), shortPath, MAX_PATH);
        char path[MAX_PATH] = {};
        ::WideCharToMultiByte(CP_ACP, 0, shortPath, -1, path, MAX_PATH, nullptr, nullptr);
        return path;
    }

    void MakeFiles() const
    {
        for (const Target& t : m_s->targets) {
            if (m_s->dropped) {
                WriteFileBytes(WideName(t), t.content);
            } else if (t.size == 0) {
                dir.File(t.name, t.content);
            } else {
                dir.File(t.name, {});
                MakeSparseFile(PathOf(t), t.size);
                WriteBytesAt(PathOf(t), t.at, Decoded(m_s->findHex));
            }
        }
    }

    int64_t RegionStart(const Target& t) const { return t.at - kAround; }
    Held Now(const Target& t) const
    {
        if (t.size == 0) {
            Bytes bytes = ReadFileBytes(PathOf(t));
            const auto length = static_cast<int64_t>(bytes.size());
            return Held{std::move(bytes), length};
        }
        const auto count = static_cast<size_t>(std::min<int64_t>(2 * kAround, t.size - RegionStart(t)));
        return Held{ReadBytesAt(PathOf(t), RegionStart(t), count), FileLength(PathOf(t))};
    }
    Held Before(const Target& t, const Bytes& content) const
    {
        if (t.size == 0)
            return Held{content, static_cast<int64_t>(content.size())};
        Held held{Bytes(static_cast<size_t>(std::min<int64_t>(2 * kAround, t.size - RegionStart(t))), 0), t.size};
        const Bytes find = Decoded(m_s->findHex);
        std::copy(find.begin(), find.end(), held.bytes.begin() + kAround);
        return held;
    }
    // The replacement written at the first occurrence, as the program writes it.
    void Replace(const Target& t, Held& held) const
    {
        const Bytes replacement = Decoded(m_s->replaceHex);
        const auto at = static_cast<size_t>(Find(held.bytes, Decoded(m_s->findHex)));
        if (t.size == 0) {
            held.bytes.resize(std::max(held.bytes.size(), at + replacement.size()));
            held.length = static_cast<int64_t>(held.bytes.size());
        } else {
            held.length = std::max<int64_t>(held.length, RegionStart(t) + static_cast<int64_t>(at + replacement.size()));
        }
        std::copy(replacement.begin(), replacement.end(), held.bytes.begin() + at);
    }
    // The question the program asks for a target as it holds now.
    std::wstring Question(const Target& t, const Held& held) const
    {
        const int64_t at = (t.size == 0 ? 0 : RegionStart(t)) + Find(held.bytes, Decoded(m_s->findHex));
        wchar_t offset[24];
        std::swprintf(offset, 24, L"0x%08llX", static_cast<unsigned long long>(at));
        return Ask(PathOf(t), offset);
    }

    static constexpr int kNoFailure = 1 << 30;
    // No run of these scenarios makes this many calls of one function: one that does
    // never completes.
    static constexpr int kMostCalls = 500;

    // One run with the k-th call failing; false once the run no longer reaches k.
    bool RunFailing(int k)
    {
        const Scenario& s = *m_s;
        const std::string context = std::string(FaultName(GetParam().fault)) + " call " + std::to_string(k) +
                                    (GetParam().then != Fault::None ? std::string(" then ") + FaultName(GetParam().then) : "");
        MakeFiles();
        m_moveAfterBox = -1;
        m_escaped = false;
        answerer()->Clear();
        if (s.dropped)
            SetText(IDC_PATH, "");
        // Every thread the run needs is started afresh, so that each start can fail.
        CThread::EndIdleThreads();
        int threads = 0, handles = 0;
        SettledCounts(threads, handles);

        faults::Arm(GetParam().fault, k, GetParam().then);
        bool started = true;
        if (s.dropped) {
            const HDROP drop = MakeDrop(WideName(s.targets[0]));
            ::SendMessageW(hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
            // A drop that cannot be taken changes nothing: then there is nothing to start.
            started = !Text(IDC_PATH).empty();
        }
        if (started)
            Click(IDC_START);
        faults::Disarm();
        const int calls = faults::Calls();

        // Idle: no box left open over the dialog, every thread of the run ended (one held
        // up in a call a moment longer), every handle closed, no view mapped.
        EXPECT_TRUE(::IsWindowEnabled(hwnd())) << context << ": a box is still up";
        // The run without a failure may leave what the system opens once for all (a
        // registry key COM keeps, say): the counts are those the failing runs come back to.
        const bool back = k == kNoFailure ? ThreadsEnd() : CountsComeBack(threads, handles);
        EXPECT_TRUE(back) << context << ": " << ThreadCount() << " threads, " << HandleCount()
                          << " handles after the run, against " << threads << " and " << handles;
        EXPECT_EQ(faults::LiveViews(), 0) << context << ": a view is still mapped";
        if (s.dropped && started) {
            EXPECT_EQ(Text(IDC_PATH), PathOf(s.targets[0])) << context;
        }

        CheckBoxesAndFiles(context, calls < k);
        return calls >= k;
    }

    // Plays the boxes through a model of the files: each success reported writes the
    // replacement at the first occurrence; each failure leaves the file as it was, but
    // one that says the file was left changed. Every question answered Yes is followed
    // by its outcome, or by the question again where the file changed meanwhile.
    void CheckBoxesAndFiles(const std::string& context, bool completed)
    {
        const Scenario& s = *m_s;
        const std::vector<ShownBox>& boxes = Boxes();
        std::vector<Held> held;
        for (const Target& t : s.targets)
            held.push_back(Before(t, t.content));
        std::vector<bool> leftChanged(s.targets.size(), false);
        size_t next = 0;                       // the first target a question may name
        size_t writing = s.ask ? SIZE_MAX : 0;  // the target a success or failure is about
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (static_cast<int>(i) == m_moveAfterBox)
                held[0] = Before(s.targets[0], s.movedTo);
            const std::wstring& text = boxes[i].text;
            if (text == kContinue || text == kWriteFailed || text == kWriteFailedLeftChanged) {
                ASSERT_LT(writing, s.targets.size()) << context << ": an outcome without a question" << Said();
                if (text == kContinue)
                    Replace(s.targets[writing], held[writing]);
                leftChanged[writing] = leftChanged[writing] || text == kWriteFailedLeftChanged;
                if (s.ask)
                    writing = SIZE_MAX;
                continue;
            }
            // A file searched again after a write, or after it turned out changed, may
            // have gone or be unreadable by then: nothing is written.
            if (!s.walk && (text == kNotFound || text == kOpenFailed)) {
                writing = s.ask ? SIZE_MAX : 0;
                continue;
            }
            ASSERT_TRUE(s.ask) << context << ": unexpected box" << Said();
            size_t t = next;
            while (t < s.targets.size() && text != Question(s.targets[t], held[t]))
                ++t;
            ASSERT_LT(t, s.targets.size()) << context << ": unexpected box" << Said();
            // Asked again only where the file turned out changed at the write.
            ASSERT_TRUE(writing == SIZE_MAX || writing == t)
                << context << ": a question answered Yes without its outcome" << Said();
            next = t;
            writing = SIZE_MAX;
            if (boxes[i].answer == IDYES)
                writing = t;
        }
        if (static_cast<int>(boxes.size()) == m_moveAfterBox)
            held[0] = Before(s.targets[0], s.movedTo);

        for (size_t t = 0; t < s.targets.size(); ++t) {
            const Target& target = s.targets[t];
            if (leftChanged[t]) {
                // The file may read as before while its disk did not take the bytes back.
                EXPECT_NE(GetParam().then, Fault::None) << context << ": one fault left " << target.name << " changed";
            } else {
                EXPECT_EQ(Now(target), held[t]) << context << ": " << target.name << " is not what the boxes said";
            }
            if (completed) {
                Held done = Before(target, target.size == 0 ? target.done : Bytes{});
                if (target.size != 0 && target.at >= 0 && static_cast<int>(t) != s.escapeAt)
                    Replace(target, done);
                EXPECT_EQ(Now(target), done) << context << ": the run without a failure left " << target.name << Said();
            }
        }
    }

    // The threads and handles of before a run, once what ends with it has ended: a
    // thread that has been joined may take a moment to leave the system's tables, and
    // one a stopped run left is joined once it has ended.
    bool CountsComeBack(int threads, int handles)
    {
        CThread::EndIdleThreads();
        for (int i = 0; i < 300; ++i) {
            if (!m_dlg.ThreadsLeft() && ThreadCount() == threads && HandleCount() == handles)
                return true;
            ::Sleep(10);
        }
        return false;
    }

    // The threads a stopped run left, ended and joined.
    bool ThreadsEnd()
    {
        for (int i = 0; i < 300 && m_dlg.ThreadsLeft(); ++i)
            ::Sleep(10);
        return !m_dlg.ThreadsLeft();
    }

    // The counts once they hold still: what the run before started may still be ending.
    void SettledCounts(int& threads, int& handles)
    {
        threads = ThreadCount();
        handles = HandleCount();
        for (int i = 0; i < 50; ++i) {
            ::Sleep(20);
            const int t = ThreadCount(), h = HandleCount();
            if (!m_dlg.ThreadsLeft() && t == threads && h == handles)
                return;
            threads = t;
            handles = h;
        }
    }

    // Fails each call of the function in turn; returns how many were failed.
    int FailEachCall(const Scenario& s)
    {
        m_s = &s;
        SetText(IDC_PATH, s.walk ? dir / "tree" : PathOf(s.targets[0]));
        SetChecked(IDC_OPEN_DIR, s.walk);
        SetChecked(IDC_ASK, s.ask);
        Patterns(s.findHex, s.replaceHex);
        answerer()->SetPolicy([&s](const ShownBox& box) {
            if (box.text == kContinue)
                return s.goOn ? IDYES : IDNO;
            return box.buttons.size() == 2 ? IDYES : IDOK;
        });
        const DWORD dialogThread = ::GetCurrentThreadId();
        faults::OnCreateFileA([this, &s, dialogThread](const char* path, DWORD access) {
            if (!s.movedTo.empty() && (access & GENERIC_WRITE) && m_moveAfterBox < 0 && PathOf(s.targets[0]) == path) {
                // On the dialog's thread, where the write is made.
                m_moveAfterBox = static_cast<int>(Boxes().size());
                WriteFileBytes(PathOf(s.targets[0]), s.movedTo);
            }
            if (s.escapeAt >= 0 && !m_escaped && PathOf(s.targets[s.escapeAt]) == path) {
                // Held until the Esc has stopped the run, unless it is the dialog's own
                // thread that opens the file.
                m_escaped = true;
                ::PostMessageW(hwnd(), WM_KEYDOWN, VK_ESCAPE, 1);
                for (int i = 0; i < 1000 && ::GetCurrentThreadId() != dialogThread && m_dlg.IsRunning(); ++i)
                    ::Sleep(10);
            }
        });
        if (s.lockedAtStart)
            faults::LockAgainstReads(PathOf(s.targets[0]), 0, 4096);
        RunFailing(kNoFailure);  // once without a failure: what a run opens once for all is open
        if (s.escapeAt >= 0) {
            EXPECT_TRUE(m_escaped) << "setup: the walk never opened " << s.targets[s.escapeAt].name;
        }
        int k = 1;
        while (k < kMostCalls && RunFailing(k) && !HasFatalFailure())
            ++k;
        EXPECT_LT(k, kMostCalls) << FaultName(GetParam().fault) << ": the run never completed";
        faults::OnCreateFileA(nullptr);
        faults::LockAgainstReads("", 0, 0);
        std::printf("[ matrix   ] %s%s%s: %d calls failed in turn\n", FaultName(GetParam().fault),
                    GetParam().then != Fault::None ? " then " : "",
                    GetParam().then != Fault::None ? FaultName(GetParam().then) : "", k - 1);
        return k - 1;
    }

    // Fails each call in turn; the function is called by the run.
    void FailEachCallOf(const Scenario& s)
    {
        EXPECT_GT(FailEachCall(s), 0) << FaultName(GetParam().fault) << " is never called";
    }

    const Scenario* m_s = nullptr;
    int m_moveAfterBox = -1;
    std::atomic<bool> m_escaped{false};
};

std::string FaultParamName(const ::testing::TestParamInfo<Faults>& info)
{
    std::string name = FaultName(info.param.fault);
    if (info.param.then != Fault::None)
        name += std::string("Then") + FaultName(info.param.then);
    name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
               name.end());
    return name;
}

// The faults of a run, one at a time.
::testing::internal::ParamGenerator<Faults> Each(std::initializer_list<Faults> faults)
{
    return ::testing::ValuesIn(std::vector<Faults>(faults));
}

// A replacement longer than what is left of the file, in a file read with one ReadFile.
class LengtheningReplaceFaults : public FaultMatrixTest {};

TEST_P(LengtheningReplaceFaults, EveryCallFailedInTurn)
{
    static const Scenario s{false, "41 42", "31 32 33 34", {{"s.bin", BytesOf("xxxxAB"), BytesOf("xxxx1234")}}};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, LengtheningReplaceFaults,
    Each({{Fault::CreateFileA}, {Fault::GetFileSizeEx}, {Fault::ReadFile}, {Fault::ReadFileLocked},
          {Fault::ReadFileShort}, {Fault::WriteFile}, {Fault::WriteFilePartial}, {Fault::SetFilePointerEx},
          {Fault::SetEndOfFile}, {Fault::LockFileEx}, {Fault::UnlockFileEx}, {Fault::FlushFileBuffers},
          {Fault::CloseHandle}, {Fault::GetWindowTextA}, {Fault::GetWindowTextW}, {Fault::MessageBoxW},
          {Fault::CoCreateInstance}, {Fault::Allocation}, {Fault::WriteFile, Fault::SetEndOfFile},
          {Fault::WriteFilePartial, Fault::SetEndOfFile}, {Fault::WriteFilePartial, Fault::WriteFile},
          {Fault::FlushFileBuffers, Fault::FlushFileBuffers}}),
    FaultParamName);

// A replacement in place, in a file read by two threads, and searched through a mapped
// view where reading fails.
class InPlaceReplaceFaults : public FaultMatrixTest {};

TEST_P(InPlaceReplaceFaults, EveryCallFailedInTurn)
{
    const int64_t size = kHelpedReadBytes + 3 * kReadPieceBytes;
    static const Scenario s{false, "41 42 43", "58 59 5A", {{"big.bin", {}, {}, size, size - (1 << 20)}}};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, InPlaceReplaceFaults,
    Each({{Fault::CreateFileA}, {Fault::GetFileSizeEx}, {Fault::ReadFileLocked, Fault::CreateFileMappingA},
          {Fault::ReadFileLocked, Fault::MapView}, {Fault::ReadFile}, {Fault::ReadFileShort}, {Fault::ReOpenFile},
          {Fault::WriteFile}, {Fault::WriteFilePartial}, {Fault::SetFilePointerEx}, {Fault::LockFileEx},
          {Fault::FlushFileBuffers}, {Fault::CloseHandle}, {Fault::ThreadCreation},
          {Fault::ReadFileLocked, Fault::AddVectoredExceptionHandler}, {Fault::Allocation},
          {Fault::WriteFilePartial, Fault::WriteFile}}),
    FaultParamName);

// The same in a file of two views whose first page another program has locked: its
// reads fail there, and it is searched through mapped views, which read past locks.
class InPlaceThroughViewsFaults : public FaultMatrixTest {};

TEST_P(InPlaceThroughViewsFaults, EveryCallFailedInTurn)
{
    const int64_t size = kSearchViewBytes + (8 << 20);
    static const Scenario s{false, "41 42 43", "58 59 5A", {{"big.bin", {}, {}, size, size - (1 << 20)}},
                            true, false, {}, -1, false, true};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, InPlaceThroughViewsFaults,
    Each({{Fault::ReadFile}, {Fault::CreateFileMappingA}, {Fault::MapView}, {Fault::AddVectoredExceptionHandler},
          {Fault::CloseHandle}, {Fault::ThreadCreation}, {Fault::Allocation}}),
    FaultParamName);

// A walk with replacements: small files, a file read by two threads, a file without the
// pattern and folders within folders.
class WalkReplaceFaults : public FaultMatrixTest {};

TEST_P(WalkReplaceFaults, EveryCallFailedInTurn)
{
    const int64_t big = kHelpedReadBytes + (1 << 20);
    static const Scenario s{true, "41 42", "59 5A",
                            {{"tree\\a.bin", BytesOf("..AB.."), BytesOf("..YZ..")},
                             {"tree\\sub\\b.bin", BytesOf("AB"), BytesOf("YZ")},
                             {"tree\\sub\\c.bin", BytesOf("none"), BytesOf("none")},
                             {"tree\\sub\\deep\\big.bin", {}, {}, big, big - 2}}};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, WalkReplaceFaults,
    Each({{Fault::FindFirstFileW}, {Fault::FindNextFileW}, {Fault::FindClose}, {Fault::GetFileInformationByHandle},
          {Fault::FileIndexZero}, {Fault::CreateFileA}, {Fault::GetFileSizeEx}, {Fault::ReadFile},
          {Fault::ReadFileLocked}, {Fault::ReadFileShort}, {Fault::ReadFileLocked, Fault::CreateFileMappingA},
          {Fault::ReadFileLocked, Fault::MapView}, {Fault::ReOpenFile},
          {Fault::WriteFile}, {Fault::SetFilePointerEx}, {Fault::LockFileEx}, {Fault::FlushFileBuffers},
          {Fault::CloseHandle}, {Fault::ThreadCreation}, {Fault::ReadFileLocked, Fault::AddVectoredExceptionHandler},
          {Fault::GetWindowTextA}, {Fault::MessageBoxW}, {Fault::Allocation}}),
    FaultParamName);

// Without asking, and Yes to going on: every occurrence in turn, until none is left.
class AskOffGoingOnFaults : public FaultMatrixTest {};

TEST_P(AskOffGoingOnFaults, EveryCallFailedInTurn)
{
    static const Scenario s{false, "41 42", "59 5A", {{"s.bin", BytesOf("AB..AB.."), BytesOf("YZ..YZ..")}}, false, true};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(Matrix, AskOffGoingOnFaults,
                         Each({{Fault::CreateFileA}, {Fault::ReadFile}, {Fault::WriteFile}, {Fault::WriteFilePartial},
                               {Fault::FlushFileBuffers}, {Fault::ThreadCreation}, {Fault::GetWindowTextA},
                               {Fault::MessageBoxW}}),
                         FaultParamName);

// Another program puts two bytes before the pattern while the question is up: the
// write finds other bytes at the offset asked about and the file is asked about again.
class PatternMovedFaults : public FaultMatrixTest {};

TEST_P(PatternMovedFaults, EveryCallFailedInTurn)
{
    static const Scenario s{false, "41 42", "59 5A", {{"s.bin", BytesOf("..AB.."), BytesOf("xx..YZ..")}},
                            true, false, BytesOf("xx..AB..")};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(Matrix, PatternMovedFaults,
                         Each({{Fault::CreateFileA}, {Fault::ReadFile}, {Fault::ReadFileShort}, {Fault::WriteFile},
                               {Fault::LockFileEx}, {Fault::FlushFileBuffers}, {Fault::GetWindowTextA},
                               {Fault::MessageBoxW}}),
                         FaultParamName);

// Esc while the walk waits for a file held up in its open: no box, nothing written.
class EscapeInAWalkFaults : public FaultMatrixTest {};

TEST_P(EscapeInAWalkFaults, EveryCallFailedInTurn)
{
    static const Scenario s{true, "41 42", "59 5A",
                            {{"tree\\a.bin", BytesOf("none"), BytesOf("none")},
                             {"tree\\b.bin", BytesOf("AB"), BytesOf("AB")},
                             {"tree\\c.bin", BytesOf("AB"), BytesOf("AB")}},
                            true, false, {}, 1};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(Matrix, EscapeInAWalkFaults,
                         Each({{Fault::FindFirstFileW}, {Fault::FindNextFileW}, {Fault::FindClose},
                               {Fault::CreateFileA}, {Fault::ReadFile}, {Fault::CloseHandle},
                               {Fault::ThreadCreation}}),
                         FaultParamName);

// The target dropped on the dialog under a name no code page spells: reached through
// its short name.
class DroppedTargetFaults : public FaultMatrixTest {};

TEST_P(DroppedTargetFaults, EveryCallFailedInTurn)
{
    static const Scenario s{false, "41 42", "59 5A", {{"s", BytesOf("..AB.."), BytesOf("..YZ..")}},
                            true, false, {}, -1, true};
    FailEachCallOf(s);
}

INSTANTIATE_TEST_SUITE_P(Matrix, DroppedTargetFaults,
                         Each({{Fault::GetShortPathNameW}, {Fault::GetFileAttributesA}, {Fault::GetWindowTextW},
                               {Fault::CreateFileA}, {Fault::WriteFile}}),
                         FaultParamName);

// A find view holding one digit holds no pattern: Start does nothing at all, whatever
// fails; no file is so much as opened.
class OneDigitFindFaults : public FaultMatrixTest {};

TEST_P(OneDigitFindFaults, EveryCallFailedInTurn)
{
    static const Scenario s{true, "4", "31 32", {{"tree\\a.bin", BytesOf("hello world"), BytesOf("hello world")}}, false};
    const int failed = FailEachCall(s);
    const Fault f = GetParam().fault;
    if (f != Fault::GetWindowTextA && f != Fault::GetWindowTextW) {
        EXPECT_EQ(failed, 0) << FaultName(f) << " is called";
    }
}

INSTANTIATE_TEST_SUITE_P(Matrix, OneDigitFindFaults,
                         Each({{Fault::CreateFileA}, {Fault::FindFirstFileW}, {Fault::WriteFile}, {Fault::MessageBoxW},
                               {Fault::GetWindowTextA}, {Fault::GetWindowTextW}}),
                         FaultParamName);

}  // namespace
