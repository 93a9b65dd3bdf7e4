// Searching a file on disk for the first occurrence of a pattern.
#pragma once

#include "framework/handle.h"
#include "engine/find_pattern.h"
#include "engine/mapped_views.h"
#include "engine/pattern_bytes.h"
#include "engine/read_pieces.h"
#include "engine/search_answer.h"
#include "engine/way_choice.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// SearchFile's result besides an offset and SEARCH_NOT_FOUND: the file could not be
// opened, or not all of its bytes could be read.
constexpr int64_t SEARCH_OPEN_FAILED = -2;

// Files larger than this are searched by two threads where a second can be had: a
// helper and the search itself, where it has a thread of its own, each taking the next
// run (engine/runs_ahead.h). Smaller files are read on the search's thread alone.
constexpr int64_t kHelpedReadBytes = int64_t{8} << 20;

// What the process has found of the ways to search large files (engine/way_choice.h).
WayChoice CurrentWayChoice();

// Length of an open file in bytes, or -1 when it cannot be read.
int64_t QueryFileLength(HANDLE file);

// The searches of one thread: each thread has its own, with its own shift table, read
// buffers and copy of the pattern. A large file is read in pieces or searched through
// mapped views, whichever the process found cheaper on the files it searched
// (engine/way_choice.h); a file that cannot be read is searched through views. A file
// whose bytes cannot all be read, or that cannot be searched for lack of memory, threads
// or address space, counts as one that cannot be opened; a search never reaches past
// the length measured when the file was opened. No exception leaves a search.
class FileSearcher {
public:
    explicit FileSearcher(int32_t* table) : m_table(table) {}
    // Its read buffers go back to the process's shelf, for the searchers after it.
    ~FileSearcher();
    FileSearcher(const FileSearcher&) = delete;
    FileSearcher& operator=(const FileSearcher&) = delete;

    // Called on the searching thread every so often: between the pieces it reads, and
    // while it waits for its helper or its turn to map views. A search given one leaves
    // the work to its helper, where it has one.
    void SetWhileSearching(std::function<void()> call) { m_whileSearching = std::move(call); }
    // While *stop holds, a search ends at its next piece or run, stopped, having closed
    // what it opened.
    void SetStop(const std::atomic<bool>* stop) { m_stop = stop; }

    // The first occurrence of pattern in the file at path; or not found, unreadable
    // (it could not be opened or read to its end), stopped.
    SearchAnswer Search(const char* path, const PatternBytes& pattern);
    SearchAnswer Search(const char* path, const unsigned char* pattern, int32_t n)
    {
        return Search(path, PatternBytes(pattern, n));
    }
    // The same over the first length bytes of an open file, which the caller keeps.
    SearchAnswer SearchOpen(HANDLE file, int64_t length, const PatternBytes& pattern);

private:
    // Searches the file, and closes early, when it is no longer needed, what owner holds.
    SearchAnswer SearchMeasured(HANDLE file, int64_t length, bool atStart, CHandle* owner);
    // The bytes [from, end) read on this thread alone.
    SearchAnswer SearchAlone(HANDLE file, int64_t from, int64_t end, int64_t pieceBytes, bool seek);
    // What runs searched by two threads found, and what the threads spent on them.
    struct RunsSearched {
        SearchAnswer found;
        int64_t bytes;   // 0: not timed
        double seconds;  // added up over the threads
        double mappingSeconds = 0;  // of those, mapping and unmapping views
        int views = 0;
    };
    static RunsSearched Untimed(const RunsSearched& searched) { return RunsSearched{searched.found, 0, 0}; }

    // The first spans of a large file searched each way, timed for the choice; from
    // is then where the rest starts. Nothing where the trial ended without an answer:
    // the rest is searched the way chosen.
    std::optional<SearchAnswer> Trial(HANDLE file, int64_t length, int64_t& from);
    // The span through views, untimed where it could not be (no turn at them, no view
    // mapped): it is read instead.
    RunsSearched SpanThroughViews(HANDLE file, int64_t length, RunPlan span);
    // The runs of plan, by two threads, read in pieces of plan.runBytes, or through
    // views of mapping.
    RunsSearched ReadRuns(HANDLE file, const RunPlan& plan);
    RunsSearched MapRuns(HANDLE mapping, const RunPlan& plan);
    // Tells the choice how fast the way it made ran on a file.
    static void TellRate(const RunsSearched& searched);
    // The window starts from from on, searched by two threads in runs read or mapped;
    // chosen: the way the choice made, whose rate it is told.
    SearchAnswer SearchPieces(HANDLE file, int64_t from, int64_t length, int64_t pieceBytes);
    SearchAnswer SearchViews(HANDLE file, int64_t from, int64_t length, CHandle* owner, bool chosen);

    bool Stopped() const { return m_stop && m_stop->load(); }

    int32_t* m_table;
    const std::atomic<bool>* m_stop = nullptr;
    PatternBytes m_pattern;
    int64_t m_carry = 0;  // n - 1: the bytes a range is read past its last window start
    // Read buffers, kept from file to file and, through the process's shelf, from
    // searcher to searcher.
    std::vector<unsigned char> m_buffer;
    std::vector<unsigned char> m_helperBuffer;  // the helper's
    std::function<void()> m_whileSearching;
};

// Searches on the calling thread with the process's shared shift table: for the dialog's
// thread only.
int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n);
