// How the bytes of a large file are read: in pieces of one of two sizes, or through
// mapped views. Which costs a core least depends on the machine (on some a read's copy
// from the page cache costs more than a view's page faults, on others less; smaller
// pieces stay in the processor's cache but restart the matcher's choice of bytes more
// often), so the process times the ways on the files it searches and keeps the cheapest.
// Pure bookkeeping, no Windows headers: the caller times and keeps it under its lock.
#pragma once

#include <cstdint>

enum class ReadWay { Pieces, SmallPieces, Views };
constexpr int kReadWays = 3;

// When a trial is due, a file this large has its first spans searched each way, timed,
// by two threads as the rest would be; each span is this long: small, since a way that
// costs a core five times another is paid for on it, so the views of the span are smaller
// than the rest's and what mapping and unmapping one costs is counted as for views of
// the rest's size.
constexpr int64_t kTrialFileBytes = int64_t{64} << 20;
constexpr int64_t kTrialSpanBytes = int64_t{8} << 20;
// The process's first trial is followed by a second on the next large file, and each
// way keeps the lower of its two costs: a span takes a millisecond or two, which a
// thread that lost its core for a moment makes look slower than it is. A trial is
// due again once this much has been searched since the last, or once a file
// searched the chosen way ran at less than a third of the rate that way was timed at:
// two threads sharing a core that another program keeps busy run at half of it.
constexpr int64_t kRetrialBytes = int64_t{4} << 30;
// The second trial times again only the ways that cost at most this many times the
// cheapest in the first: a moment's stall cannot make up for more, and a way that costs
// a core five times another would make the second large file that much slower to
// search. The others keep their first cost; later trials time every way.
constexpr double kRetimedWithin = 2.0;
// Files searched the chosen way count towards that only from this size on: below it a
// file's rate says more about the system's set-up costs than about the way.
constexpr int64_t kRateCheckBytes = int64_t{32} << 20;

class WayChoice {
public:
    // Whether a file of length bytes is to time the ways.
    bool TrialDue(int64_t length) const { return m_due && length >= kTrialFileBytes; }
    // The order in which the next trial times the ways: it changes from trial to trial,
    // so no way is always timed on the same part of a file.
    ReadWay TrialWay(int i) const { return static_cast<ReadWay>((i + m_trials) % kReadWays); }
    // Whether the next trial times way: false for a way the first trial found far
    // dearer than the cheapest, in the second trial.
    bool TrialTimes(ReadWay way) const { return m_trials != 1 || !m_dear[static_cast<int>(way)]; }
    // A trial's seconds per byte of each way, its threads' seconds added up; negative
    // for a way it could not time or did not. Keeps the cheapest of those timed, and the
    // current choice where none was. A trial due because the chosen way ran slow takes a
    // way that cost more than kRetimedWithin times the cheapest at the last trial due for
    // another reason only where it now costs less than the others' cheapest divided by
    // kRetimedWithin: a slow run says the file was not in memory or a core was taken, and
    // a span timed while the machine is in that state can bring a dear way level with the
    // others once; a way held up many times over (a filter on reads, say) is still left.
    void Timed(const double secondsPerByte[kReadWays]);
    ReadWay Chosen() const { return m_chosen; }
    // A file of bytes searched the chosen way, in seconds of the threads that searched
    // it, added up.
    void Ran(int64_t bytes, double seconds);

private:
    bool m_due = true;
    bool m_afterSlowRun = false;  // the trial due is due for a slow run alone
    bool m_dear[kReadWays] = {};  // far dearer than the cheapest at the last trial not due for a slow run
    ReadWay m_chosen = ReadWay::Pieces;
    double m_timed = 0;  // the chosen way's seconds per byte when timed; 0 before any trial
    double m_first[kReadWays] = {-1, -1, -1};  // the first trial's costs, for the second
    int64_t m_sinceTrial = 0;
    int m_trials = 0;
};
