// Every system call a run makes, and every allocation, failed in turn: for each k the
// k-th call of one function fails with the error a real failure gives, until a run
// completes without reaching k. After every run the dialog is idle, the threads and
// handles are back to where they were, every file is unchanged or holds exactly the
// replacement, and a write that did not complete was reported as such, never as a
// success.
#include "tests/wine/support/fault_injection.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/process_counts.h"
#include "tests/wine/support/scan_run_fixture.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>

namespace {

// A file of a scenario: literal bytes, or a sparse file of zeros holding the pattern
// at an offset.
struct Target {
    std::string name;
    Bytes content;       // a small file's bytes
    int64_t size = 0;    // else a sparse file of this size
    int64_t at = -1;     // where the pattern lies
};

struct Scenario {
    bool walk;
    Bytes find, replacement;
    std::vector<Target> targets;  // in walk order
};

std::string Hex(const Bytes& bytes)
{
    std::string hex;
    char pair[4];
    for (unsigned char b : bytes) {
        std::snprintf(pair, sizeof pair, hex.empty() ? "%02X" : " %02X", b);
        hex += pair;
    }
    return hex;
}

// How far around the pattern a large file is compared.
constexpr int64_t kAround = 4096;

class FaultMatrixTest : public ScanRunTest, public ::testing::WithParamInterface<Fault> {
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
        // Yes to every question whether to replace, No to going on, OK to the rest.
        answerer()->SetPolicy([](const ShownBox& box) {
            if (box.text == kContinue)
                return IDNO;
            return box.buttons.size() == 2 ? IDYES : IDOK;
        });
    }

    std::string PathOf(const Target& t) const { return dir / t.name; }

    void MakeFiles(const Scenario& s) const
    {
        for (const Target& t : s.targets) {
            if (t.size == 0) {
                dir.File(t.name, t.content);
            } else {
                dir.File(t.name, {});
                MakeSparseFile(PathOf(t), t.size);
                WriteBytesAt(PathOf(t), t.at, s.find);
            }
        }
    }

    // What a target holds now, as far as the checks look: a large file's length and
    // the bytes around the pattern.
    static int64_t RegionBytes(const Target& t) { return std::min<int64_t>(2 * kAround, t.size - (t.at - kAround)); }
    Bytes Now(const Target& t) const
    {
        if (t.size == 0)
            return ReadFileBytes(PathOf(t));
        Bytes bytes = ReadBytesAt(PathOf(t), t.at - kAround, static_cast<size_t>(RegionBytes(t)));
        const int64_t length = FileLength(PathOf(t));
        bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&length),
                     reinterpret_cast<const unsigned char*>(&length + 1));
        return bytes;
    }
    // What it held before the run, or holds once replaced.
    Bytes Expected(const Scenario& s, const Target& t, bool replaced) const
    {
        Bytes bytes = t.size == 0 ? t.content : Bytes(static_cast<size_t>(RegionBytes(t)), 0);
        const size_t at = static_cast<size_t>(t.size == 0 ? t.at : kAround);
        if (t.size != 0)
            std::copy(s.find.begin(), s.find.end(), bytes.begin() + at);
        if (replaced) {
            bytes.resize(std::max(bytes.size(), at + s.replacement.size()));
            std::copy(s.replacement.begin(), s.replacement.end(), bytes.begin() + at);
        }
        if (t.size != 0) {
            const int64_t length = t.size;
            bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&length),
                         reinterpret_cast<const unsigned char*>(&length + 1));
        }
        return bytes;
    }

    static constexpr int kNoFailure = 1 << 30;

    // One run with the k-th call failing; false once the run no longer reaches k.
    bool RunFailing(const Scenario& s, int k)
    {
        const std::string context = std::string(FaultName(GetParam())) + " call " + std::to_string(k);
        MakeFiles(s);
        answerer()->Clear();
        int threads = 0, handles = 0;
        SettledCounts(threads, handles);

        faults::Arm(GetParam(), k);
        Click(IDC_START);
        faults::Disarm();
        const int calls = faults::Calls();

        EXPECT_FALSE(m_dlg.IsRunning()) << context;
        // The run without a failure may leave what the system opens once for all (a
        // registry key COM keeps, say): the counts are those the failing runs come back to.
        const bool back = k == kNoFailure || CountsComeBack(threads, handles);
        EXPECT_TRUE(back) << context << ": " << ThreadCount() << " threads, " << HandleCount()
                          << " handles after the run, against " << threads << " and " << handles;

        CheckBoxesAndFiles(s, context, calls < k);
        return calls >= k;
    }

    // The boxes come as (question, outcome) per file, in walk order, or as a single
    // open failure; each file holds the replacement exactly when its outcome was the
    // success, and is unchanged otherwise.
    void CheckBoxesAndFiles(const Scenario& s, const std::string& context, bool completed)
    {
        const std::vector<ShownBox>& boxes = Boxes();
        std::map<size_t, bool> outcome;  // target index: written
        size_t next = 0;                 // the first target a question may name
        size_t i = 0;
        if (!s.walk && boxes.size() == 1 && boxes[0].text == kOpenFailed)
            i = 1;
        while (i < boxes.size()) {
            size_t t = next;
            while (t < s.targets.size() && boxes[i].text != Ask(PathOf(s.targets[t]), OffsetText(s.targets[t])))
                ++t;
            ASSERT_LT(t, s.targets.size()) << context << ": unexpected box" << Said();
            ASSERT_LT(i + 1, boxes.size()) << context << ": question without outcome" << Said();
            const std::wstring& after = boxes[i + 1].text;
            ASSERT_TRUE(after == kContinue || after == kWriteFailed) << context << Said();
            outcome[t] = after == kContinue;
            next = t + 1;
            i += 2;
        }
        for (size_t t = 0; t < s.targets.size(); ++t) {
            const bool written = outcome.count(t) && outcome[t];
            EXPECT_EQ(Now(s.targets[t]), Expected(s, s.targets[t], written))
                << context << ": " << s.targets[t].name << (written ? " reported written" : " not reported written");
            if (completed && s.targets[t].at >= 0) {
                EXPECT_TRUE(written) << context << ": the run without a failure left " << s.targets[t].name << Said();
            }
        }
    }

    // The threads and handles of before a run, once what ends with it has ended: a
    // thread that has been joined may take a moment to leave the system's tables.
    static bool CountsComeBack(int threads, int handles)
    {
        for (int i = 0; i < 100; ++i) {
            if (ThreadCount() == threads && HandleCount() == handles)
                return true;
            ::Sleep(10);
        }
        return false;
    }

    // The counts once they hold still: what the run before started may still be ending.
    static void SettledCounts(int& threads, int& handles)
    {
        threads = ThreadCount();
        handles = HandleCount();
        for (int i = 0; i < 50; ++i) {
            ::Sleep(20);
            const int t = ThreadCount(), h = HandleCount();
            if (t == threads && h == handles)
                return;
            threads = t;
            handles = h;
        }
    }

    static std::wstring OffsetText(const Target& t)
    {
        wchar_t text[24];
        std::swprintf(text, 24, L"0x%08llX", static_cast<unsigned long long>(t.at));
        return text;
    }

    // Fails each call of the function in turn; returns how many were failed.
    int FailEachCall(const Scenario& s)
    {
        SetText(IDC_PATH, s.walk ? dir / "tree" : PathOf(s.targets[0]));
        SetChecked(IDC_OPEN_DIR, s.walk);
        Patterns(Hex(s.find), Hex(s.replacement));
        RunFailing(s, kNoFailure);  // once without a failure: what a run opens once for all is open
        int k = 1;
        while (RunFailing(s, k) && !HasFatalFailure() && k < 2000)
            ++k;
        EXPECT_GT(k, 1) << FaultName(GetParam()) << " is never called";
        std::printf("[ matrix   ] %s: %d calls failed in turn\n", FaultName(GetParam()), k - 1);
        return k - 1;
    }
};

std::string FaultParamName(const ::testing::TestParamInfo<Fault>& info)
{
    std::string name = FaultName(info.param);
    name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }),
               name.end());
    return name;
}

// A replacement longer than what is left of the file, in a file read with one ReadFile.
class LengtheningReplaceFaults : public FaultMatrixTest {};

TEST_P(LengtheningReplaceFaults, EveryCallFailedInTurn)
{
    FailEachCall(Scenario{false, BytesOf("AB"), BytesOf("1234"), {{"s.bin", BytesOf("xxxxAB"), 0, 4}}});
}

INSTANTIATE_TEST_SUITE_P(Matrix, LengtheningReplaceFaults,
                         ::testing::Values(Fault::CreateFileA, Fault::GetFileSizeEx, Fault::ReadFile,
                                           Fault::ReadFileLocked, Fault::WriteFile, Fault::SetFilePointerEx,
                                           Fault::SetEndOfFile, Fault::LockFileEx, Fault::Allocation),
                         FaultParamName);

// A replacement in place, in a file searched through two mapped views.
class InPlaceReplaceFaults : public FaultMatrixTest {};

TEST_P(InPlaceReplaceFaults, EveryCallFailedInTurn)
{
    const int64_t size = kSearchViewBytes + (8 << 20);
    FailEachCall(Scenario{false, BytesOf("ABC"), BytesOf("XYZ"), {{"big.bin", {}, size, size - (1 << 20)}}});
}

INSTANTIATE_TEST_SUITE_P(Matrix, InPlaceReplaceFaults,
                         ::testing::Values(Fault::CreateFileA, Fault::GetFileSizeEx, Fault::CreateFileMappingA,
                                           Fault::MapView, Fault::ReadFile, Fault::WriteFile, Fault::SetFilePointerEx,
                                           Fault::LockFileEx, Fault::ThreadCreation, Fault::Allocation),
                         FaultParamName);

// A walk with replacements: small files, a file mapped, a file without the pattern and
// folders within folders.
class WalkReplaceFaults : public FaultMatrixTest {};

TEST_P(WalkReplaceFaults, EveryCallFailedInTurn)
{
    const int64_t big = kReadBytes + (1 << 20);
    FailEachCall(Scenario{true, BytesOf("AB"), BytesOf("YZ"),
                          {{"tree\\a.bin", BytesOf("..AB.."), 0, 2},
                           {"tree\\sub\\b.bin", BytesOf("AB"), 0, 0},
                           {"tree\\sub\\c.bin", BytesOf("none"), 0, -1},
                           {"tree\\sub\\deep\\big.bin", {}, big, big - 2}}});
}

INSTANTIATE_TEST_SUITE_P(Matrix, WalkReplaceFaults,
                         ::testing::Values(Fault::FindFirstFileW, Fault::FindNextFileW,
                                           Fault::GetFileInformationByHandle, Fault::FileIndexZero,
                                           Fault::CreateFileA, Fault::GetFileSizeEx, Fault::ReadFile,
                                           Fault::ReadFileLocked, Fault::CreateFileMappingA, Fault::MapView,
                                           Fault::WriteFile, Fault::SetFilePointerEx, Fault::LockFileEx,
                                           Fault::ThreadCreation, Fault::Allocation),
                         FaultParamName);

}  // namespace
