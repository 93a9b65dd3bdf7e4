// A directory walk whose files are searched ahead of the dialogue that reports them.
//
// One thread lists the tree (engine/tree_listing.h). Searcher threads search the files
// listed, each with its own shift table, buffer and copy of the pattern, at most
// kWalkAheadFiles files ahead of the one the dialogue has reached. The dialogue takes
// the files in walk order with their results, and only results found with the current
// pattern since the last Discard: it discards everything after a message box, in which
// the user may have had a file written. When the threads cannot be started, the walk
// lists on the dialogue's thread and hands the files over unsearched.
//
// The dialogue never joins the threads blindly: it stops them and waits in slices
// (CThreadsOwner); a thread held up in a system call may outlive the run, and the walk
// with it (framework/left_threads.h).
#pragma once

#include "framework/left_threads.h"
#include "framework/sync.h"
#include "framework/thread.h"
#include "engine/pattern_bytes.h"
#include "engine/run_host.h"
#include "engine/search_answer.h"
#include "engine/tree_listing.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

// How many files the walk may run ahead of the dialogue. Small enough that searching
// them again after a box costs little; large enough that the searchers never wait for
// the listing.
constexpr size_t kWalkAheadFiles = 256;
// The most searcher threads a walk runs.
constexpr int kMostWalkSearchers = 4;
// The longest the dialogue's thread waits for a result without being called back.
constexpr unsigned kWalkWaitSliceMs = 50;

class WalkAhead : public CThreadsOwner {
public:
    // Its path, 8-bit as the walk built it, and the search's answer, or not yet.
    using File = WalkFile;

    // Starts listing root and searching for pattern with searchers threads (at most
    // kMostWalkSearchers).
    WalkAhead(std::string root, const PatternBytes& pattern, int searchers);
    // Stops and joins every thread of the walk: only once they have ended (WaitEnded),
    // or the destruction waits for them.
    ~WalkAhead() override;
    WalkAhead(const WalkAhead&) = delete;
    WalkAhead& operator=(const WalkAhead&) = delete;

    // The next file in walk order and its result; false when the walk is over, or once
    // *stop holds. While it waits, calls waiting at every wake-up and at least every
    // kWalkWaitSliceMs.
    bool Next(File& file, const std::function<void()>& waiting, const std::atomic<bool>& stop);
    // Searches from now on for pattern; true when it differs from the pattern before,
    // whose results are then thrown away.
    bool SetPattern(const PatternBytes& pattern);
    // The searchers wait until Discard; those searching stop at their next view or
    // piece and close what they opened.
    void Pause();
    // Throws away every result found so far, and lets the searchers go on.
    void Discard();

    // The listing and the searchers end at their next step; nothing waits for them.
    void Stop() override;
    bool WaitEnded(DWORD ms) override;

private:
    enum class State { Pending, Searching, Done };
    struct Slot {
        std::string path;
        State state;
        SearchAnswer found;
    };

    void List();
    bool Add(std::string& path);
    void Search();
    // Index of the first slot waiting to be searched, or the number of slots.
    size_t FirstPending();
    void DiscardLocked();

    TreeListing m_listing;            // the listing thread's
    TreeListing m_inlineListing;      // the dialogue's thread's, where threads could not be started
    bool m_inline = false;
    CLock m_lock;
    CCondition m_work;                // a slot to search, or stop
    CCondition m_done;                // a result, or the end of the listing
    CCondition m_room;                // room for the listing, or stop
    std::deque<Slot> m_slots;         // the files listed and not yet taken, in walk order
    uint64_t m_taken = 0;             // files taken by the dialogue: the sequence number of m_slots.front()
    size_t m_pendingFrom = 0;         // no slot before this index is pending
    bool m_listed = false;
    bool m_paused = false;
    bool m_stop = false;
    std::atomic<bool> m_abandon{false};  // searches in progress stop: a box is up, or the walk ends
    uint64_t m_epoch = 0;             // results found under another epoch are thrown away
    PatternBytes m_pattern;
    CThread m_threads[1 + kMostWalkSearchers];  // the listing's, then the searchers'
};
