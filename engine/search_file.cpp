#include "engine/search_file.h"

#include "framework/sync.h"
#include "engine/mapped_search_turn.h"
#include "engine/runs_ahead.h"
#include "engine/search_clock.h"
#include "engine/way_choice.h"

#include <algorithm>
#include <new>

namespace {

// What the process has found of the ways to bring a large file's bytes in.
CLock g_choiceLock;
WayChoice g_choice;

// A trial span the views could not search (no turn at them, no view mapped): it is read
// instead, untimed.
constexpr int64_t kSpanNotMapped = -20;
// The trial ended without an answer: the rest of the file is searched the chosen way.
constexpr int64_t kTrialOver = -21;

int64_t PieceBytesOf(ReadWay way)
{
    return way == ReadWay::SmallPieces ? kSmallReadPieceBytes : kReadPieceBytes;
}

}  // namespace

WayChoice CurrentWayChoice()
{
    std::lock_guard<CLock> lock(g_choiceLock);
    return g_choice;
}

int64_t QueryFileLength(HANDLE file)
{
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file, &size))
        return -1;
    return size.QuadPart;
}

FileSearcher::~FileSearcher()
{
    ShelveReadBuffer(m_buffer);
    ShelveReadBuffer(m_helperBuffer);
}

int64_t FileSearcher::Search(const char* path, const PatternBytes& pattern)
{
    try {
        m_pattern = pattern;
        // Shared for deleting too: a file being searched can be renamed or deleted by
        // others meanwhile, as if it were not open. Read from start to end, which the
        // system may read ahead the further for.
        CHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.IsValid())
            return SEARCH_OPEN_FAILED;
        return SearchMeasured(file.Get(), QueryFileLength(file.Get()), true, &file);
    } catch (...) {
        return SEARCH_OPEN_FAILED;
    }
}

int64_t FileSearcher::SearchOpen(HANDLE file, int64_t length, const PatternBytes& pattern)
{
    try {
        m_pattern = pattern;
        return SearchMeasured(file, length, false, nullptr);
    } catch (...) {
        return SEARCH_OPEN_FAILED;
    }
}

int64_t FileSearcher::SearchMeasured(HANDLE file, int64_t length, bool atStart, CHandle* owner)
{
    if (length < 0)
        return SEARCH_OPEN_FAILED;
    m_carry = std::max(m_pattern.n - 1, 0);
    BuildShiftTable(m_pattern.bytes, m_pattern.n, m_table);
    ReadWay way;
    bool trial;
    {
        std::lock_guard<CLock> lock(g_choiceLock);
        way = g_choice.Chosen();
        trial = length > kHelpedReadBytes && g_choice.TrialDue(length);
    }
    int64_t found;
    if (length <= kHelpedReadBytes) {
        found = SearchAlone(file, 0, length, PieceBytesOf(way), !atStart);
    } else {
        int64_t from = 0;
        found = trial ? Trial(file, length, atStart, from) : kTrialOver;
        if (found == kTrialOver) {
            if (trial) {
                std::lock_guard<CLock> lock(g_choiceLock);
                way = g_choice.Chosen();
            }
            found = way == ReadWay::Views ? SearchViews(file, from, length, owner, true)
                                          : SearchPieces(file, from, length, PieceBytesOf(way));
        }
    }
    if (found != kPieceUnread)
        return found;
    // A range another program locked, or a sector that cannot be read: a mapped view
    // reads past locks, and finds what lies before a bad sector.
    return SearchViews(file, 0, length, owner, false);
}

int64_t FileSearcher::SearchAlone(HANDLE file, int64_t from, int64_t end, int64_t pieceBytes, bool seek)
{
    FitReadBuffer(m_buffer, static_cast<size_t>(std::min(end - from, pieceBytes + m_carry)));
    const PieceSearch pieces{file, pieceBytes, &m_pattern, m_table, &m_buffer, &m_whileSearching, m_stop};
    return pieces.Search(from, end, seek);
}

// Each way searches one span of kTrialSpanBytes window starts on this thread, the spans
// one after another from the file's start, so the trial costs nothing but the second
// thread's help over them. The clock is the wall's: the system's thread times tick too
// coarsely for spans this short, and one thread alone, on a file in the page cache, is
// what the way costs a core.
int64_t FileSearcher::Trial(HANDLE file, int64_t length, bool atStart, int64_t& from)
{
    double cost[kReadWays] = {-1, -1, -1};
    for (int i = 0; i < kReadWays; ++i) {
        ReadWay way;
        {
            std::lock_guard<CLock> lock(g_choiceLock);
            way = g_choice.TrialWay(i);
        }
        const int64_t end = std::min(length, from + kTrialSpanBytes + m_carry);
        const double start = SearchClockSeconds();
        int64_t found = way == ReadWay::Views ? SpanThroughViews(file, length, from, end)
                                              : SearchAlone(file, from, end, PieceBytesOf(way), !(atStart && from == 0));
        if (found == kSpanNotMapped)
            found = SearchAlone(file, from, end, kReadPieceBytes, true);
        else if (found == SEARCH_NOT_FOUND)
            cost[static_cast<int>(way)] = (SearchClockSeconds() - start) / static_cast<double>(end - from);
        // An answer, a failure or a stop ends the search, and the trial unfinished.
        if (found != SEARCH_NOT_FOUND)
            return found;
        from += kTrialSpanBytes;
        if (m_whileSearching)
            m_whileSearching();
        if (Stopped())
            return SEARCH_STOPPED;
    }
    std::lock_guard<CLock> lock(g_choiceLock);
    g_choice.Timed(cost);
    return kTrialOver;
}

int64_t FileSearcher::SpanThroughViews(HANDLE file, int64_t length, int64_t from, int64_t end)
{
    // Timed only where the turn is free now: a trial waits for no other file's search.
    const MappedSearchTurn turn;
    if (!turn.Granted())
        return kSpanNotMapped;
    const CHandle mapping(CreateReadMapping(file, length));
    if (!mapping.IsValid())
        return kSpanNotMapped;
    ViewRunSearcher views(mapping.Get(), m_pattern, m_table);
    const int64_t found = views.Search(from, end);
    return found == SEARCH_OPEN_FAILED ? kSpanNotMapped : found;
}

int64_t FileSearcher::SearchPieces(HANDLE file, int64_t from, int64_t length, int64_t pieceBytes)
{
    const size_t capacity = static_cast<size_t>(pieceBytes + m_carry);
    try {
        FitReadBuffer(m_buffer, capacity);
        FitReadBuffer(m_helperBuffer, capacity);
    } catch (const std::bad_alloc&) {
        return SearchAlone(file, from, length, pieceBytes, true);  // in the buffer it has, or none
    }
    PieceRunReader own(file, false, m_pattern, m_table, m_buffer);
    PieceRunReader helper(file, true, m_pattern, m_table, m_helperBuffer);
    RunsAhead runs(RunPlan{from, length, pieceBytes, m_carry}, own, helper, m_stop, m_whileSearching);
    const int64_t found = runs.Search();
    if (found >= 0 || found == SEARCH_NOT_FOUND) {
        std::lock_guard<CLock> lock(g_choiceLock);
        g_choice.Ran(runs.BusyBytes(), runs.BusySeconds());
    }
    return found;
}

int64_t FileSearcher::SearchViews(HANDLE file, int64_t from, int64_t length, CHandle* owner, bool chosen)
{
    const CHandle mapping(CreateReadMapping(file, length));
    if (owner)
        owner->Close();  // the mapping keeps the file open as long as it needs it
    if (!mapping.IsValid())
        return SEARCH_OPEN_FAILED;
    const MappedSearchTurn turn(m_whileSearching, m_stop);
    if (!turn.Granted() || Stopped())
        return SEARCH_STOPPED;
    ViewRunSearcher own(mapping.Get(), m_pattern, m_table);
    ViewRunSearcher helper(mapping.Get(), m_pattern, m_table);
    RunsAhead runs(RunPlan{from, length, kSearchViewBytes, m_carry}, own, helper, m_stop, m_whileSearching);
    const int64_t found = runs.Search();
    if (chosen && (found >= 0 || found == SEARCH_NOT_FOUND)) {
        std::lock_guard<CLock> lock(g_choiceLock);
        g_choice.Ran(runs.BusyBytes(), runs.BusySeconds());
    }
    return found;
}

int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n)
{
    static FileSearcher searcher(g_shiftTable);
    return searcher.Search(path, pattern, n);
}
