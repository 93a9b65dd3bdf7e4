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

int64_t PieceBytesOf(ReadWay way)
{
    return way == ReadWay::SmallPieces ? kSmallReadPieceBytes : kReadPieceBytes;
}

const SearchAnswer kUnreadable = SearchAnswer::Of(Searched::Unreadable);
const SearchAnswer kStopped = SearchAnswer::Of(Searched::Stopped);

// A file's answer that tells the choice how fast the way was: one searched to its end
// or to an occurrence.
bool TellsTheRate(const SearchAnswer& found)
{
    return found.status == Searched::Found || found.status == Searched::NotFound;
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

SearchAnswer FileSearcher::Search(const char* path, const PatternBytes& pattern)
{
    try {
        m_pattern = pattern;
        // Shared for deleting too: a file being searched can be renamed or deleted by
        // others meanwhile, as if it were not open. Read from start to end, which the
        // system may read ahead the further for.
        CHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file.IsValid())
            return kUnreadable;
        return SearchMeasured(file.Get(), QueryFileLength(file.Get()), true, &file);
    } catch (...) {
        return kUnreadable;
    }
}

SearchAnswer FileSearcher::SearchOpen(HANDLE file, int64_t length, const PatternBytes& pattern)
{
    try {
        m_pattern = pattern;
        return SearchMeasured(file, length, false, nullptr);
    } catch (...) {
        return kUnreadable;
    }
}

SearchAnswer FileSearcher::SearchMeasured(HANDLE file, int64_t length, bool atStart, CHandle* owner)
{
    if (length < 0)
        return kUnreadable;
    m_carry = std::max(m_pattern.n - 1, 0);
    BuildShiftTable(m_pattern.bytes, m_pattern.n, m_table);
    ReadWay way;
    bool trial;
    {
        std::lock_guard<CLock> lock(g_choiceLock);
        way = g_choice.Chosen();
        trial = length > kHelpedReadBytes && g_choice.TrialDue(length);
    }
    SearchAnswer found;
    if (length <= kHelpedReadBytes) {
        found = SearchAlone(file, 0, length, PieceBytesOf(way), !atStart);
    } else {
        int64_t from = 0;
        std::optional<SearchAnswer> tried;
        if (trial) {
            tried = Trial(file, length, from);
            std::lock_guard<CLock> lock(g_choiceLock);
            way = g_choice.Chosen();
        }
        if (tried)
            found = *tried;
        else if (way == ReadWay::Views)
            found = SearchViews(file, from, length, owner, true);
        else
            found = SearchPieces(file, from, length, PieceBytesOf(way));
    }
    if (found.status != Searched::Unread)
        return found;
    // A range another program locked, or a sector that cannot be read: a mapped view
    // reads past locks, and finds what lies before a bad sector.
    return SearchViews(file, 0, length, owner, false);
}

SearchAnswer FileSearcher::SearchAlone(HANDLE file, int64_t from, int64_t end, int64_t pieceBytes, bool seek)
{
    FitReadBuffer(m_buffer, static_cast<size_t>(std::min(end - from, pieceBytes + m_carry)));
    const PieceSearch pieces{file, pieceBytes, &m_pattern, m_table, &m_buffer, &m_whileSearching, m_stop};
    return pieces.Search(from, end, seek);
}

// Each way timed searches one span of the file, by two threads as it would search the
// rest, the spans one after another from the file's start, so the trial costs nothing but
// the set-up of a few more runs and what the dearer ways cost more on their spans. A way
// costs what its threads spend on a byte, added up: where two threads that copy at once
// contend for the memory's bandwidth, reading costs more than one thread alone shows.
// The clock is the wall's: the system's thread times tick too coarsely for spans this
// short.
//
// A span that waits for the disk times the disk, not the way, and the system's read-ahead
// for one span fills the next, so a file not in memory would favour whichever way comes
// later: the spans' bytes are read first, untimed (bytes the search needs anyway; where
// they are in memory, a copy of a few MiB), and each way is timed on bytes in memory.
std::optional<SearchAnswer> FileSearcher::Trial(HANDLE file, int64_t length, int64_t& from)
{
    ReadWay ways[kReadWays];
    int timed = 0;
    {
        std::lock_guard<CLock> lock(g_choiceLock);
        for (int i = 0; i < kReadWays; ++i) {
            const ReadWay way = g_choice.TrialWay(i);
            if (g_choice.TrialTimes(way))
                ways[timed++] = way;
        }
    }
    try {
        FitReadBuffer(m_buffer, static_cast<size_t>(kSmallReadPieceBytes));
        // A read that fails here fails again in its span, which tells why.
        ReadThrough(file, from, std::min(length, from + timed * kTrialSpanBytes + m_carry), m_buffer,
                    &m_whileSearching, m_stop);
    } catch (const std::bad_alloc&) {
        // Timed as the bytes come, then.
    }
    if (Stopped())
        return kStopped;
    double cost[kReadWays] = {-1, -1, -1};
    for (int i = 0; i < timed; ++i) {
        const ReadWay way = ways[i];
        const int64_t starts = std::min(length, from + kTrialSpanBytes);
        const RunPlan span{from, std::min(length, starts + m_carry), PieceBytesOf(way), m_carry, starts};
        const RunsSearched searched = way == ReadWay::Views ? SpanThroughViews(file, length, span) : ReadRuns(file, span);
        if (searched.found.status == Searched::NotFound && searched.bytes > 0)
            cost[static_cast<int>(way)] = searched.seconds / static_cast<double>(searched.bytes);
        // An answer, a failure or a stop ends the search, and the trial unfinished.
        if (searched.found.status != Searched::NotFound)
            return searched.found;
        from = starts;
        if (Stopped())
            return kStopped;
    }
    std::lock_guard<CLock> lock(g_choiceLock);
    g_choice.Timed(cost);
    return std::nullopt;
}

FileSearcher::RunsSearched FileSearcher::SpanThroughViews(HANDLE file, int64_t length, RunPlan span)
{
    // Timed only where the turn is free now: a trial waits for no other file's search.
    // Otherwise the span is read instead, untimed.
    span.runBytes = kReadPieceBytes;
    const MappedSearchTurn turn;
    if (!turn.Granted())
        return Untimed(ReadRuns(file, span));
    const CHandle mapping(CreateReadMapping(file, length));
    if (!mapping.IsValid())
        return Untimed(ReadRuns(file, span));
    span.runBytes = kTrialSpanBytes / 2;  // a view for each thread
    RunsSearched searched = MapRuns(mapping.Get(), span);
    if (searched.found.status == Searched::Unreadable) {
        span.runBytes = kReadPieceBytes;
        return Untimed(ReadRuns(file, span));
    }
    // Counted as for the views the rest is searched in, its cost is what the rest would cost.
    searched.seconds = SecondsInViewsOfTheRest(searched.seconds, searched.mappingSeconds, searched.views, searched.bytes);
    return searched;
}

FileSearcher::RunsSearched FileSearcher::ReadRuns(HANDLE file, const RunPlan& plan)
{
    const size_t capacity = static_cast<size_t>(plan.runBytes + m_carry);
    try {
        FitReadBuffer(m_buffer, capacity);
        FitReadBuffer(m_helperBuffer, capacity);
    } catch (const std::bad_alloc&) {
        // In the buffer it has, or none, and untimed.
        return RunsSearched{SearchAlone(file, plan.from, plan.length, plan.runBytes, true), 0, 0};
    }
    PieceRunReader own(file, false, m_pattern, m_table, m_buffer);
    PieceRunReader helper(file, true, m_pattern, m_table, m_helperBuffer);
    RunsAhead runs(plan, own, helper, m_stop, m_whileSearching);
    const SearchAnswer found = runs.Search();
    return RunsSearched{found, runs.BusyBytes(), runs.BusySeconds()};
}

FileSearcher::RunsSearched FileSearcher::MapRuns(HANDLE mapping, const RunPlan& plan)
{
    ViewRunSearcher own(mapping, m_pattern, m_table);
    ViewRunSearcher helper(mapping, m_pattern, m_table);
    SearchAnswer found;
    int64_t bytes;
    double seconds;
    {
        RunsAhead runs(plan, own, helper, m_stop, m_whileSearching);
        found = runs.Search();
        bytes = runs.BusyBytes();
        seconds = runs.BusySeconds();
    }  // the helper has left: its figures are complete
    return RunsSearched{found, bytes, seconds, own.MappingSeconds() + helper.MappingSeconds(),
                        own.Views() + helper.Views()};
}

void FileSearcher::TellRate(const RunsSearched& searched)
{
    if (!TellsTheRate(searched.found) || searched.bytes <= 0)
        return;
    std::lock_guard<CLock> lock(g_choiceLock);
    g_choice.Ran(searched.bytes, searched.seconds);
}

SearchAnswer FileSearcher::SearchPieces(HANDLE file, int64_t from, int64_t length, int64_t pieceBytes)
{
    const RunsSearched searched = ReadRuns(file, RunPlan{from, length, pieceBytes, m_carry});
    TellRate(searched);
    return searched.found;
}

SearchAnswer FileSearcher::SearchViews(HANDLE file, int64_t from, int64_t length, CHandle* owner, bool chosen)
{
    const CHandle mapping(CreateReadMapping(file, length));
    if (owner)
        owner->Close();  // the mapping keeps the file open as long as it needs it
    if (!mapping.IsValid())
        return kUnreadable;
    const MappedSearchTurn turn(m_whileSearching, m_stop);
    if (!turn.Granted() || Stopped())
        return kStopped;
    const RunsSearched searched = MapRuns(mapping.Get(), RunPlan{from, length, kSearchViewBytes, m_carry});
    if (chosen)
        TellRate(searched);
    return searched.found;
}

int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n)
{
    static FileSearcher searcher(g_shiftTable);
    const SearchAnswer found = searcher.Search(path, pattern, n);
    // Never stopped: it has no stop to heed.
    return found.Found() ? found.at : found.status == Searched::NotFound ? SEARCH_NOT_FOUND : SEARCH_OPEN_FAILED;
}
