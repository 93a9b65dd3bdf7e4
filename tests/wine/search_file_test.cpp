// Searching files on disk: what is searched is exactly what was measured and mapped,
// whatever the file does meanwhile, and files of any size are searched.
#include "engine/address_space.h"
#include "engine/find_pattern.h"
#include "engine/read_guard.h"
#include "engine/search_file.h"
#include "tests/wine/support/fault_injection.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/read_way.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

namespace {

// An answer as SearchFile gives it: the offset, SEARCH_NOT_FOUND or SEARCH_OPEN_FAILED;
// these searches are never stopped.
int64_t AsSearchFileSays(const SearchAnswer& found)
{
    switch (found.status) {
    case Searched::Found: return found.at;
    case Searched::NotFound: return SEARCH_NOT_FOUND;
    case Searched::Unreadable: return SEARCH_OPEN_FAILED;
    default: return INT64_MIN;
    }
}

// An open file of the length the caller measured, searched as the dialog's thread does.
int64_t SearchOpenFile(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n)
{
    static FileSearcher searcher(g_shiftTable);
    return AsSearchFileSays(searcher.SearchOpen(file, length, PatternBytes(pattern, n)));
}

const unsigned char kAB[] = {'A', 'B'};

HANDLE OpenForSearch(const std::string& path)
{
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
}

void Append(const std::string& path, const std::string& text)
{
    HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    DWORD put = 0;
    ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    ::CloseHandle(h);
}

void Resize(const std::string& path, int64_t size)
{
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, 0, nullptr);
    LARGE_INTEGER pos;
    pos.QuadPart = size;
    ::SetFilePointerEx(h, pos, nullptr, FILE_BEGIN);
    ::SetEndOfFile(h);
    ::CloseHandle(h);
}

// Every way a file is read: with one ReadFile, in pieces, and in pieces by two threads.
const int64_t kSizes[] = {16, kReadPieceBytes + 16, kHelpedReadBytes + 16};
static_assert(kHelpedReadBytes >= 2 * kReadPieceBytes, "files read in more than one piece");

TEST(SearchFileTest, FileThatGrowsAfterMeasuringIsSearchedOnlyAsFarAsMeasured)
{
    TempDir dir;
    for (int64_t size : kSizes) {
        const std::string file = dir / ("grow" + std::to_string(size));
        MakeSparseFile(file, size);
        HANDLE h = OpenForSearch(file);
        const int64_t measured = QueryFileLength(h);
        ASSERT_EQ(measured, size);
        Append(file, "AB");  // the file grows between the length query and the search
        EXPECT_EQ(SearchOpenFile(h, measured, kAB, 2), SEARCH_NOT_FOUND) << size;
        EXPECT_EQ(SearchOpenFile(h, QueryFileLength(h), kAB, 2), size) << size;
        ::CloseHandle(h);
    }
}

TEST(SearchFileTest, FileThatShrankAfterMeasuringIsReportedAsUnreadable)
{
    TempDir dir;
    // Shrunk to a few bytes, or to just past the first piece of a file read in pieces.
    struct Case {
        int64_t size, shrunk;
    };
    for (const Case c : {Case{16, 3}, Case{kReadPieceBytes + 16, 3}, Case{kHelpedReadBytes + 16, kReadPieceBytes + 5},
                         Case{kHelpedReadBytes + 16, 3}}) {
        const std::string file = dir / ("shrink" + std::to_string(c.size));
        MakeSparseFile(file, c.size);
        WriteBytesAt(file, c.size - 2, BytesOf("AB"));
        HANDLE h = OpenForSearch(file);
        const int64_t measured = QueryFileLength(h);
        // Searched whole first, so the buffers it is read into hold its old last bytes.
        ASSERT_EQ(SearchOpenFile(h, measured, kAB, 2), c.size - 2);
        Resize(file, c.shrunk);
        EXPECT_EQ(SearchOpenFile(h, measured, kAB, 2), SEARCH_OPEN_FAILED) << c.size << " to " << c.shrunk;
        ::CloseHandle(h);
    }
}

// Around the size read with one ReadFile, across two pieces, and around the size read
// by two threads: occurrences in the last bytes and across the pieces are found, and
// nothing past the end.
TEST(SearchFileTest, FilesAroundTheReadSizesAreSearchedToTheirLastByte)
{
    TempDir dir;
    const unsigned char kABC[] = {'A', 'B', 'C'};
    for (int64_t size : {kReadPieceBytes - 1, kReadPieceBytes, kReadPieceBytes + 1, kHelpedReadBytes - 7,
                         kHelpedReadBytes, kHelpedReadBytes + 1, kHelpedReadBytes + kReadPieceBytes + 1}) {
        const std::string file = dir / ("s" + std::to_string(size));
        MakeSparseFile(file, size);
        WriteBytesAt(file, size - 2, BytesOf("AB"));
        EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), size - 2) << size;
        EXPECT_EQ(SearchFile(file.c_str(), kABC, 3), SEARCH_NOT_FOUND) << size;
        if (size > kReadPieceBytes + 2) {
            // "A" ends the first piece, "B" starts the second.
            WriteBytesAt(file, kReadPieceBytes - 1, BytesOf("AB"));
            EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), kReadPieceBytes - 1) << size;
        }
    }
}

TEST(SearchFileTest, MissingEmptyAndDirectoryPaths)
{
    TempDir dir;
    EXPECT_EQ(SearchFile((dir / "missing").c_str(), kAB, 2), SEARCH_OPEN_FAILED);
    EXPECT_EQ(SearchFile(dir.File("empty", {}).c_str(), kAB, 2), SEARCH_NOT_FOUND);
    EXPECT_EQ(SearchFile(dir.File("empty", {}).c_str(), kAB, 0), SEARCH_NOT_FOUND);
    EXPECT_EQ(SearchFile(dir.path().c_str(), kAB, 2), SEARCH_OPEN_FAILED);
}

TEST(SearchFileTest, FileHeldOpenByAnotherProgramIsStillSearched)
{
    TempDir dir;
    const std::string file = dir.File("held.bin", BytesOf("xxAB"));
    HANDLE holder = ::CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), 2);
    ::CloseHandle(holder);
}

// The system reports bytes of a mapped view that it could not read (a disk pulled, a
// share dropped) with an in-page exception; Wine raises none, so reads raise it as the
// system would.
struct FailingRead {
    const unsigned char* at;
    bool after = false;  // reached past the failure
    static void Run(void* arg)
    {
        auto* r = static_cast<FailingRead*>(arg);
        const ULONG_PTR info[2] = {0, reinterpret_cast<ULONG_PTR>(r->at)};
        ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 2, info);
        r->after = true;
    }
};

int g_unhandled = 0;
LONG CALLBACK CountUnhandled(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_IN_PAGE_ERROR)
        return EXCEPTION_CONTINUE_SEARCH;
    ++g_unhandled;
    return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(ReadGuardTest, InPageErrorInsideTheRangeFailsTheReadAndNothingElseIsCaught)
{
    g_unhandled = 0;  // from this run of the test only
    unsigned char bytes[64] = {};
    FailingRead inside{bytes + 63};
    EXPECT_FALSE(ReadGuarded(bytes, sizeof bytes, FailingRead::Run, &inside));
    EXPECT_FALSE(inside.after);

    // Outside the range the exception goes on to the process's other handlers.
    void* outer = ::AddVectoredExceptionHandler(0, CountUnhandled);
    FailingRead outside{bytes + 64};
    EXPECT_TRUE(ReadGuarded(bytes, sizeof bytes, FailingRead::Run, &outside));
    ::RemoveVectoredExceptionHandler(outer);
    EXPECT_TRUE(outside.after);
    EXPECT_EQ(g_unhandled, 1);

    // A guard ends with its read: the same error afterwards is not caught either.
    outer = ::AddVectoredExceptionHandler(0, CountUnhandled);
    FailingRead::Run(&inside);
    ::RemoveVectoredExceptionHandler(outer);
    EXPECT_EQ(g_unhandled, 2);
}

// Each thread's guard catches the errors of its own range only, and says which byte
// failed, however many threads read at once.
TEST(ReadGuardTest, ThreadsReadingAtOnceEachGetTheirOwnFailure)
{
    constexpr int kThreads = 8;
    static unsigned char bytes[kThreads][256];
    std::atomic<int> right{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &right] {
            for (int i = 0; i < 200; ++i) {
                FailingRead read{bytes[t] + (t * 31 + i) % 256};
                const void* failedAt = nullptr;
                const bool ok = ReadGuarded(bytes[t], sizeof bytes[t], FailingRead::Run, &read, &failedAt);
                right += !ok && failedAt == read.at && !read.after;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(right, kThreads * 200);
}

// Large files are sparse: only the pattern's pages hold data.
class LargeFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ReadingInPieces()) << "setup: reading in pieces was never chosen"; }

    TempDir dir;
    std::string file = dir / "large.bin";
};

// The two ways a file is searched: as on the dialog's thread, which only waits while the
// helper reads or maps the runs, pumping its messages meanwhile; and on a thread of its
// own, which takes runs beside the helper.
int64_t WhileWaiting(const std::string& path)
{
    int32_t table[256];
    FileSearcher searcher(table);
    searcher.SetWhileSearching([] {});
    return AsSearchFileSays(searcher.Search(path.c_str(), kAB, 2));
}

int64_t OnAThreadOfItsOwn(const std::string& path)
{
    int32_t table[256];
    FileSearcher searcher(table);
    return AsSearchFileSays(searcher.Search(path.c_str(), kAB, 2));
}

using SearchWay = int64_t (*)(const std::string&);
const SearchWay kBothWays[] = {WhileWaiting, OnAThreadOfItsOwn};

// Every ReadFile fails as on a range another program locked, for as long as it lives:
// files are searched through views.
struct ThroughViews {
    ThroughViews() { faults::Arm(Fault::ReadFileLocked, 1, Fault::ReadFileLocked); }
    ~ThroughViews() { faults::Disarm(); }
    ThroughViews(const ThroughViews&) = delete;
    ThroughViews& operator=(const ThroughViews&) = delete;
};

// Every way a large file is searched while it lives: read in pieces of either size or
// through views as the process chose, or through views because every read fails.
enum class Through { Pieces, SmallPieces, Views, FailedReads };
const Through kEveryWay[] = {Through::Pieces, Through::SmallPieces, Through::Views, Through::FailedReads};

const char* NameOf(Through through)
{
    switch (through) {
    case Through::Pieces: return "pieces";
    case Through::SmallPieces: return "small pieces";
    case Through::Views: return "views";
    case Through::FailedReads: return "views, reads failing";
    }
    return "?";
}

class SearchedThrough {
public:
    SearchedThrough(Through through, const TempDir& dir)
    {
        const std::string trialFile = dir / "trial.bin";
        MakeSparseFile(trialFile, kTrialFileBytes);
        const ReadWay way = through == Through::Pieces ? ReadWay::Pieces
                            : through == Through::SmallPieces ? ReadWay::SmallPieces
                                                              : ReadWay::Views;
        m_chosen = ChooseWay(way, trialFile);
        if (through == Through::FailedReads)
            m_through.emplace();
    }
    ~SearchedThrough() { faults::SetCallCosts({}); }
    SearchedThrough(const SearchedThrough&) = delete;
    SearchedThrough& operator=(const SearchedThrough&) = delete;

    bool Chosen() const { return m_chosen; }

private:
    bool m_chosen = false;
    std::optional<ThroughViews> m_through;
};

// Files below the size that is timed on: no trial changes the way while they are searched.
constexpr int64_t kUntimedBytes = 2 * kSearchViewBytes - (1 << 20);
static_assert(kUntimedBytes < kTrialFileBytes, "searched without a trial");

TEST_F(LargeFileTest, OccurrenceStraddlingTwoPiecesOrViewsIsFound)
{
    MakeSparseFile(file, kUntimedBytes);
    for (Through way : kEveryWay) {
        const SearchedThrough through(way, dir);
        ASSERT_TRUE(through.Chosen()) << "setup: " << NameOf(way) << " never chosen";
        // 'A' ends a piece or view, 'B' starts the next.
        for (const int64_t at : {kSmallReadPieceBytes - 1, kReadPieceBytes - 1, kSearchViewBytes - 1}) {
            WriteBytesAt(file, at, BytesOf("AB"));
            for (SearchWay search : kBothWays)
                EXPECT_EQ(search(file), at) << (search == WhileWaiting) << " " << NameOf(way);
            WriteBytesAt(file, at, BytesOf("ab"));
        }
    }
}

TEST_F(LargeFileTest, LowestOffsetWinsAcrossPiecesAndViews)
{
    MakeSparseFile(file, kUntimedBytes);
    for (Through way : kEveryWay) {
        const SearchedThrough through(way, dir);
        ASSERT_TRUE(through.Chosen()) << "setup: " << NameOf(way) << " never chosen";
        const std::pair<int64_t, int64_t> pairs[] = {{kSearchViewBytes + 5, kSearchViewBytes - 9},
                                                     {5 * kReadPieceBytes + 3, kReadPieceBytes + 9},
                                                     {3 * kSmallReadPieceBytes + 1, kSmallReadPieceBytes + 3}};
        for (const auto& [later, earlier] : pairs) {
            WriteBytesAt(file, later, BytesOf("AB"));
            WriteBytesAt(file, earlier, BytesOf("AB"));
            for (SearchWay search : kBothWays)
                EXPECT_EQ(search(file), earlier) << (search == WhileWaiting) << " " << NameOf(way);
        }
        for (const auto& [later, earlier] : pairs) {
            WriteBytesAt(file, later, BytesOf("ab"));
            WriteBytesAt(file, earlier, BytesOf("ab"));
        }
    }
}

// The ways are timed on the file searched, each on a span of its own, and the cheapest
// on the clock is kept: whichever way is made to cost seconds a call through the seam,
// another is chosen, and a file is then searched that way alone.
TEST_F(LargeFileTest, TheWayThatCostsACoreLeastIsChosen)
{
    MakeSparseFile(file, kTrialFileBytes + kSearchViewBytes);
    const int64_t at = kTrialFileBytes + kSearchViewBytes - 2;
    WriteBytesAt(file, at, BytesOf("AB"));
    faults::WatchFile(file);
    for (ReadWay way : {ReadWay::Views, ReadWay::Pieces, ReadWay::SmallPieces, ReadWay::Views}) {
        ASSERT_TRUE(ChooseWay(way, file)) << static_cast<int>(way) << " never chosen";
        const int reads = faults::WatchedReads(), views = faults::ViewsMapped();
        EXPECT_EQ(OnAThreadOfItsOwn(file), at) << static_cast<int>(way);
        if (way == ReadWay::Views) {
            EXPECT_EQ(faults::WatchedReads(), reads) << "read although views were chosen";
            EXPECT_GT(faults::ViewsMapped(), views);
        } else {
            EXPECT_EQ(faults::ViewsMapped(), views) << "mapped although reading was chosen";
            EXPECT_GT(faults::WatchedReads(), reads);
        }
    }
    faults::SetCallCosts({});
    faults::WatchFile("");
}

// A trial maps views smaller than the rest's, but a view costs as much to map whatever
// its size: with a view costing four times what a read costs, views of 32 MiB are the
// cheapest way per byte, although the trial's 4 MiB views cost more than 2 MiB reads.
// (Tenths of a second: the costs that make a later test's trial due are far higher.)
TEST_F(LargeFileTest, AViewsMappingCountsAsForTheViewsOfTheRest)
{
    MakeSparseFile(file, kTrialFileBytes);
    EXPECT_TRUE(ChooseWay(ReadWay::Views, file, faults::CallCosts{0.1, 0.1, 0.4}));
    faults::SetCallCosts({});
}

// A trial's spans, one way each, find what lies in them, across their edges too, and
// the search goes on the chosen way after the last.
TEST_F(LargeFileTest, TrialSpansFindWhatTheyHold)
{
    const int64_t length = kTrialFileBytes;
    MakeSparseFile(file, length);
    ASSERT_TRUE(MakeTrialDue(file)) << "setup: no trial due";
    // A trial that ends on an occurrence chooses nothing: the next is due too. Each span
    // holds two runs or views, one for each thread: 'A' ends the first run of the third
    // span too.
    const int64_t edges[] = {kTrialSpanBytes, 2 * kTrialSpanBytes, 3 * kTrialSpanBytes, 2 * kTrialSpanBytes + kTrialSpanBytes / 2};
    for (const int64_t edge : edges) {
        const int64_t at = edge - 1;  // 'A' ends a span or run, 'B' starts the next
        WriteBytesAt(file, at, BytesOf("AB"));
        for (SearchWay search : kBothWays) {
            ASSERT_TRUE(CurrentWayChoice().TrialDue(kTrialFileBytes)) << "setup: no trial due";
            EXPECT_EQ(search(file), at) << edge << " " << (search == WhileWaiting);
        }
        WriteBytesAt(file, at, BytesOf("ab"));
    }
    // The spans' bytes are read before they are timed: a sector that read cannot get past
    // fails the search only where the occurrence lies beyond it.
    WriteBytesAt(file, kTrialSpanBytes / 4, BytesOf("AB"));
    faults::SetBadSector(file, kTrialSpanBytes + 4096);
    ASSERT_TRUE(CurrentWayChoice().TrialDue(kTrialFileBytes)) << "setup: no trial due";
    EXPECT_EQ(OnAThreadOfItsOwn(file), kTrialSpanBytes / 4) << "a failed read ahead of the trial failed it";
    WriteBytesAt(file, kTrialSpanBytes / 4, BytesOf("ab"));
    WriteBytesAt(file, 2 * kTrialSpanBytes, BytesOf("AB"));
    ASSERT_TRUE(CurrentWayChoice().TrialDue(kTrialFileBytes)) << "setup: no trial due";
    EXPECT_EQ(OnAThreadOfItsOwn(file), SEARCH_OPEN_FAILED);
    faults::SetBadSector(file, -1);
    WriteBytesAt(file, 2 * kTrialSpanBytes, BytesOf("ab"));

    WriteBytesAt(file, length - 2, BytesOf("AB"));
    EXPECT_EQ(OnAThreadOfItsOwn(file), length - 2) << "the rest after the trial";
    faults::SetCallCosts({});
}

// The answer waits for every piece or run before the one that found something. The
// slow page holds the first piece's read, or the first run's view, until it is let go;
// meanwhile the other thread finds the occurrence at the start of the next piece or run.
// Then the first, whose occurrence lies at its end, is searched.
TEST_F(LargeFileTest, PieceOrRunHeldBackKeepsTheLowestOffset)
{
    MakeSparseFile(file, kUntimedBytes);
    for (Through way : kEveryWay) {
        const SearchedThrough through(way, dir);
        ASSERT_TRUE(through.Chosen()) << "setup: " << NameOf(way) << " never chosen";
        const int64_t unit = way == Through::Pieces ? kReadPieceBytes
                             : way == Through::SmallPieces ? kSmallReadPieceBytes
                                                           : kSearchViewBytes;
        const int64_t first = unit - 2, second = unit + 7;
        WriteBytesAt(file, first, BytesOf("AB"));
        WriteBytesAt(file, second, BytesOf("AB"));
        faults::SetSlowSector(file, 4096);
        // Ends also when the search never waits on the slow page, so that a setup that
        // failed fails the test below instead of hanging it.
        std::atomic<bool> searched{false};
        std::thread release([&searched] {
            while (!faults::SlowSectorHeld() && !searched)
                ::Sleep(1);
            ::Sleep(100);
            faults::ReleaseSlowSector();
        });
        EXPECT_EQ(OnAThreadOfItsOwn(file), first) << NameOf(way);
        searched = true;
        release.join();
        EXPECT_EQ(faults::SlowSectorHolds(), 1) << "setup: the slow page was never waited on; " << NameOf(way);
        faults::SetSlowSector(file, -1);
        WriteBytesAt(file, first, BytesOf("ab"));
        WriteBytesAt(file, second, BytesOf("ab"));
    }
}

// A helper that gets no handle of its own leaves the pieces to the search, also to one
// that would otherwise only wait.
TEST_F(LargeFileTest, HelperWithoutAHandleLeavesThePiecesToTheSearch)
{
    const int64_t at = kHelpedReadBytes + 3 * kReadPieceBytes + 1;
    MakeSparseFile(file, kHelpedReadBytes + 5 * kReadPieceBytes);
    WriteBytesAt(file, at, BytesOf("AB"));
    const SearchedThrough through(Through::Pieces, dir);
    ASSERT_TRUE(through.Chosen()) << "setup: reading never chosen";
    for (SearchWay search : kBothWays) {
        faults::Arm(Fault::ReOpenFile, 1);
        EXPECT_EQ(search(file), at) << (search == WhileWaiting);
        EXPECT_EQ(faults::Calls(), 1) << "setup: the helper asked for no handle; " << (search == WhileWaiting);
        faults::Disarm();
    }
}

// A search stopped while the helper reads a page of the view (a slow one, so the stop
// comes while it waits) ends, and the view stays mapped until the helper has left it.
TEST_F(LargeFileTest, SearchStoppedWhileTheHelperReadsLeavesTheViewMappedUntilItHasLeft)
{
    const ThroughViews through;
    MakeSparseFile(file, 2 * kSearchViewBytes);
    faults::SetSlowSector(file, kSearchViewBytes + 4096);
    std::atomic<bool> stop{false};
    int32_t table[256];
    FileSearcher searcher(table);
    searcher.SetStop(&stop);
    searcher.SetWhileSearching([&stop] {
        if (!faults::SlowSectorHeld())
            return;
        if (stop)
            faults::ReleaseSlowSector();
        stop = true;
    });
    EXPECT_EQ(searcher.Search(file.c_str(), kAB, 2).status, Searched::Stopped);
    EXPECT_EQ(faults::SlowSectorHolds(), 1) << "setup: the slow page was never waited on";
    EXPECT_EQ(faults::UnmappedWhileRead(), 0);
    faults::SetSlowSector(file, -1);
}

// A sector that cannot be read (made so through the test's seam: Wine has no bad
// sectors) fails a search only where the search has to read it: an occurrence before
// it is found, also when the bytes are read ahead of the search or the file is read
// whole; an occurrence after it is not, and the file counts as unreadable.
TEST_F(LargeFileTest, UnreadableSectorFailsTheSearchOnlyWhereItMustBeRead)
{
    struct Case {
        int64_t size, occurrence, bad;
        int64_t expected;
    };
    const int64_t MiB = 1 << 20;
    const int64_t view = kSearchViewBytes;
    const int64_t size = view + 30 * MiB;
    static_assert(kSearchViewBytes + (30 << 20) < kTrialFileBytes, "searched without a trial");
    const Case cases[] = {
        {1 * MiB, 100 << 10, 800 << 10, 100 << 10},              // read whole: mapped instead
        {8 * MiB, 1 * MiB, 6 * MiB, 1 * MiB},                    // one piece or view
        {size, 1 * MiB, view - 2 * MiB, 1 * MiB},                // later in the run
        {size, 20 * MiB + 5, view + 8 * MiB, 20 * MiB + 5},      // in a run searched meanwhile
        {size, view + 18 * MiB, view + 8 * MiB, SEARCH_OPEN_FAILED},  // the bad sector first
        {size, view - 1, view + 9, SEARCH_OPEN_FAILED},          // the occurrence's last byte
    };
    for (Through way : kEveryWay) {
        const SearchedThrough through(way, dir);
        ASSERT_TRUE(through.Chosen()) << "setup: " << NameOf(way) << " never chosen";
        for (const Case& c : cases) {
            MakeSparseFile(file, c.size);
            WriteBytesAt(file, c.occurrence, BytesOf("AB"));
            faults::SetBadSector(file, c.bad);
            for (SearchWay search : kBothWays)
                EXPECT_EQ(search(file), c.expected) << c.size << " " << c.occurrence << " " << c.bad << " "
                                                    << (search == WhileWaiting) << " " << NameOf(way);
            faults::SetBadSector(file, -1);
        }
    }
}

// Reads that fail (a range another program locked, which a mapped view reads past; a
// device error) are searched through a mapped view instead. Wine enforces no locks on
// reads: the failure comes from the seam.
TEST_F(LargeFileTest, FileThatCannotBeReadIsSearchedThroughAView)
{
    MakeSparseFile(file, 64 << 10);
    WriteBytesAt(file, 1000, BytesOf("AB"));
    for (Fault fault : {Fault::ReadFileLocked, Fault::ReadFile}) {
        faults::Arm(fault, 1);
        EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), 1000) << FaultName(fault);
        EXPECT_EQ(faults::Calls(), 1) << FaultName(fault);
        faults::Disarm();
    }
}

// Where address space is short, views are mapped smaller; in a 32-bit process one file
// at a time is searched through views, however many searchers there are.
TEST_F(LargeFileTest, ShortOfAddressSpaceViewsAreMappedSmallerAndOneFileAtATime)
{
    ASSERT_TRUE(AddressSpaceIsShort()) << "setup: the test program runs as a 32-bit process";
    const ThroughViews through;
    MakeSparseFile(file, 3 * kSearchViewBytes);
    WriteBytesAt(file, 3 * kSearchViewBytes - 2, BytesOf("AB"));
    faults::SetLargestView(kSmallestViewBytes);
    EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), 3 * kSearchViewBytes - 2);
    faults::SetLargestView(kSmallestViewBytes - 1);
    EXPECT_EQ(SearchFile(file.c_str(), kAB, 2), SEARCH_OPEN_FAILED) << "smaller than the smallest view";
    faults::SetLargestView(0);

    faults::TakePeakViews();
    std::vector<std::thread> searchers;
    std::atomic<int> found{0};
    for (int i = 0; i < 4; ++i) {
        searchers.emplace_back([this, &found] {
            int32_t table[256];
            FileSearcher searcher(table);
            found += searcher.Search(file.c_str(), kAB, 2) == SearchAnswer::FoundAt(3 * kSearchViewBytes - 2);
        });
    }
    for (std::thread& t : searchers)
        t.join();
    EXPECT_EQ(found, 4);
    EXPECT_LE(faults::TakePeakViews(), 2);
}

// A search that gave up waiting for its turn at the views (its stop flag held for a
// moment) maps none, whatever the flag says when it is looked at again: meanwhile the
// turn is another search's. The flag here changes all the time, as a walk's does when a
// box opens and closes between two pumps of the messages.
TEST_F(LargeFileTest, SearchThatGaveUpItsTurnMapsNoView)
{
    ASSERT_TRUE(AddressSpaceIsShort()) << "setup: the test program runs as a 32-bit process";
    const ThroughViews through;
    MakeSparseFile(file, 3 * kSearchViewBytes);
    // Read with one ReadFile, which fails: the stop flag is first looked at in the wait
    // for the turn.
    const std::string other = dir / "other.bin";
    MakeSparseFile(other, 64 << 10);

    // The first search takes the turn, then waits in the mapping of its first view until
    // the views are let go.
    faults::WatchFile(file);
    faults::HoldWatchedViews(true);
    std::thread first([this] {
        int32_t table[256];
        FileSearcher searcher(table);
        searcher.Search(file.c_str(), kAB, 2);
    });
    for (int i = 0; i < 30000 && faults::WatchedViewsWaiting() == 0; ++i)
        ::Sleep(1);
    const int mappedBefore = faults::ViewsMapped();
    const bool held = faults::WatchedViewsWaiting() > 0;  // one for each thread that maps

    std::atomic<bool> stop{false}, done{false};
    std::thread flipper([&] {
        while (!done)
            stop = !stop;
    });
    if (held) {
        int32_t table[256];
        FileSearcher searcher(table);
        searcher.SetStop(&stop);
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(searcher.Search(other.c_str(), kAB, 2).status, Searched::Stopped) << "search " << i << " took no turn";
        EXPECT_EQ(faults::ViewsMapped(), mappedBefore) << "a search mapped views while the turn was another's";
        EXPECT_GT(faults::WatchedViewsWaiting(), 0) << "setup: the first search let go of its turn meanwhile";
    }
    done = true;
    flipper.join();
    faults::HoldWatchedViews(false);
    first.join();
    faults::WatchFile("");
    ASSERT_TRUE(held) << "setup: the first search never took its turn and mapped";
}

}  // namespace
