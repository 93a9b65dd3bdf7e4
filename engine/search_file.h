// Searching a file on disk for the first occurrence of a pattern.
#pragma once

#include "framework/handle.h"
#include "engine/find_pattern.h"
#include "engine/pattern_bytes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// A search result besides an offset and SEARCH_NOT_FOUND: the file could not be opened,
// or not all of its bytes could be read.
constexpr int64_t SEARCH_OPEN_FAILED = -2;

// Files are read in pieces of kReadPieceBytes (a file up to that size with one ReadFile)
// into buffers kept from file to file, each piece searched behind the last n - 1 bytes
// of the one before. Reading copies the pages the system holds; mapping them costs a
// page fault every few pages instead, which under Wine on some machines costs several
// times the copy, and more the more finely the system happens to hold the file.
constexpr int64_t kReadPieceBytes = 2 << 20;
// Files larger than this are read by two threads where a second can be had: a helper,
// with a handle of its own (the system serves one handle's reads one at a time), and
// the search itself where it has a thread of its own; each takes the next piece in turn.
constexpr int64_t kHelpedReadBytes = 8 << 20;

// A file that cannot be read so (a range another program locked, a sector that cannot
// be read) is searched through mapped views instead: a view reads past locks, and finds
// what lies before a bad sector. It is mapped this many bytes at a time, in views that
// slide along the file, so the address space a search takes stays bounded whatever the
// file's size.
constexpr int64_t kSearchViewBytes = 128 << 20;
// Where address space is short a view is mapped smaller, down to this.
constexpr int64_t kSmallestViewBytes = 4 << 20;

// A view's pages are brought in by a helper thread and by the search (where it has a
// thread of its own), in chunks of this many bytes taken in turn: as many as one of the
// system's page tables covers, so two threads never fault pages into the same one, and
// a disk is read in order. The view is searched in steps of kSearchStepBytes of window
// starts, each as soon as its chunks are in, by whichever of them is free: each search
// has its set-up cost.
constexpr int64_t kTouchChunkBytes = 2 << 20;
constexpr int64_t kSearchStepBytes = 16 << 20;

// The result of a search that was stopped before it had an answer (FileSearcher::SetStop).
constexpr int64_t SEARCH_STOPPED = -4;

// Length of an open file in bytes, or -1 when it cannot be read.
int64_t QueryFileLength(HANDLE file);

// The searches of one thread: each thread has its own, with its own shift table, read
// buffer and copy of the pattern. A file whose bytes cannot all be read, or that cannot
// be searched for lack of memory, threads or address space, counts as one that cannot
// be opened; a search never reaches past the length measured when the file was opened.
// No exception leaves a search.
class FileSearcher {
public:
    explicit FileSearcher(int32_t* table) : m_table(table) {}
    // Its read buffers go back to the process's shelf, for the searchers after it.
    ~FileSearcher();
    FileSearcher(const FileSearcher&) = delete;
    FileSearcher& operator=(const FileSearcher&) = delete;

    // Called on the searching thread every so often: between the pieces read and the
    // views mapped of a big file, and while it waits for its helper, the next view or
    // its turn to map views. A search given one leaves the work to its helper.
    void SetWhileSearching(std::function<void()> call) { m_whileSearching = std::move(call); }
    // While *stop holds, a search ends at its next view or piece with SEARCH_STOPPED,
    // having closed what it opened.
    void SetStop(const std::atomic<bool>* stop) { m_stop = stop; }

    // Offset of the first occurrence of pattern in the file at path, SEARCH_NOT_FOUND,
    // SEARCH_OPEN_FAILED or SEARCH_STOPPED.
    int64_t Search(const char* path, const PatternBytes& pattern);
    int64_t Search(const char* path, const unsigned char* pattern, int32_t n)
    {
        return Search(path, PatternBytes(pattern, n));
    }
    // The same over the first length bytes of an open file, which the caller keeps.
    int64_t SearchOpen(HANDLE file, int64_t length, const PatternBytes& pattern);

private:
    enum class ReadResult { Searched, Short, Failed };

    // Searches the file, and closes early, when it is no longer needed, what owner holds.
    int64_t SearchMeasured(HANDLE file, int64_t length, bool atStart, CHandle* owner);
    ReadResult SearchRead(HANDLE file, int64_t length, bool atStart, int64_t& found);
    // The same on two threads, false when no helper could be started.
    bool SearchReadHelped(HANDLE file, int64_t length, ReadResult& result, int64_t& found);
    int64_t SearchMapping(HANDLE mapping, int64_t length);

    bool Stopped() const { return m_stop && m_stop->load(); }

    int32_t* m_table;
    const std::atomic<bool>* m_stop = nullptr;
    PatternBytes m_pattern;
    // Read buffers, kept from file to file and, through a shelf of the process's, from
    // searcher to searcher (a walk's searchers end with the walk): a new buffer's pages
    // cost the system a fault each when first written, which under Wine on some machines
    // costs as much as reading the file.
    std::vector<unsigned char> m_buffer;
    std::vector<unsigned char> m_helperBuffer;  // the helper's
    std::function<void()> m_whileSearching;
};

// SearchFile and SearchOpenFile search on the calling thread with the process's shared
// shift table: for the dialog's thread only.
int64_t SearchFile(const char* path, const unsigned char* pattern, int32_t n);
int64_t SearchOpenFile(HANDLE file, int64_t length, const unsigned char* pattern, int32_t n);
