// A file searched in runs by two workers that each take the next run in turn: the
// search's own thread, unless it only waits (the dialog's thread pumps messages
// meanwhile), and a helper thread. How a worker brings a run's bytes in (a read piece,
// a mapped view) is its own; the answer is that of the first run in file order that
// found the pattern or failed, once every run before it is done (engine/piece_order.h).
#pragma once

#include "framework/sync.h"
#include "framework/thread.h"
#include "engine/piece_order.h"
#include "engine/search_answer.h"

#include <atomic>
#include <cstdint>
#include <functional>

// One worker's way of searching a run.
class RunWorker {
public:
    // On the worker's own thread, before its first run: false when it cannot take part
    // (a helper that got no handle of its own, say).
    virtual bool Prepare() { return true; }
    // The first occurrence in the file's bytes [from, end), as a file offset; not
    // found, or why it could not be searched.
    virtual SearchAnswer Search(int64_t from, int64_t end) = 0;
    // On the worker's thread after its last run: gives back what Prepare took.
    virtual void Finish() {}

protected:
    ~RunWorker() = default;
};

// The runs of a file: window starts [from, starts) in runs of runBytes, each read with
// the carry (n - 1) bytes that follow its last window start, none past length. starts
// is length where not given: every window start to the file's end.
struct RunPlan {
    int64_t from = 0;
    int64_t length = 0;
    int64_t runBytes = 0;
    int64_t carry = 0;
    int64_t starts = -1;

    int64_t StartsEnd() const { return starts < 0 ? length : starts; }
    int64_t Runs() const { return from >= StartsEnd() ? 0 : (StartsEnd() - from + runBytes - 1) / runBytes; }
    int64_t Begin(int64_t run) const { return from + run * runBytes; }
    int64_t End(int64_t run) const { return Begin(run) + runBytes + carry < length ? Begin(run) + runBytes + carry : length; }
};

class RunsAhead {
public:
    // own works on the calling thread in Search, helper on a thread of its own; where no
    // thread can be started, own takes every run. While the search waits it calls
    // waiting, at every wake-up and at least every kWaitSliceMs; a search given one
    // leaves the runs to the helper, as long as there is one.
    RunsAhead(const RunPlan& plan, RunWorker& own, RunWorker& helper, const std::atomic<bool>* stop,
              const std::function<void()>& waiting);
    // Waits for the helper in slices, calling waiting between them: it may be held up
    // by a slow disk.
    ~RunsAhead();
    RunsAhead(const RunsAhead&) = delete;
    RunsAhead& operator=(const RunsAhead&) = delete;

    // The first occurrence, not found, a worker's failure, or stopped once *stop holds.
    SearchAnswer Search();
    // The seconds the workers spent in runs so far, added up, and the bytes those read.
    double BusySeconds();
    int64_t BusyBytes();

    static constexpr unsigned kWaitSliceMs = 50;

private:
    void Run();
    // Takes the next run and searches it without the lock, as worker.
    void Work(int worker, RunWorker& search, std::unique_lock<CLock>& lock);

    RunPlan m_plan;
    RunWorker& m_own;
    RunWorker& m_helper;
    const std::atomic<bool>* m_stop;
    const std::function<void()>& m_waiting;
    CLock m_lock;
    CCondition m_changed;
    PieceOrder<SearchAnswer> m_order;  // worker 0 the search, 1 the helper
    bool m_helperGone = false;
    bool m_quit = false;
    double m_busySeconds = 0;
    int64_t m_busyBytes = 0;
    CThread m_thread;  // last: joined before the rest goes
};
