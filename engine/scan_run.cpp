#include "engine/scan_run.h"

#include "engine/aside_search.h"
#include "engine/file_dialogue.h"
#include "engine/walk_ahead.h"

#include <algorithm>
#include <thread>

namespace {

// How long the host's thread waits on the run's threads before it pumps its messages.
constexpr DWORD kWaitSliceMs = 50;
// How long threads told to stop get before a stopped run leaves them to end on their
// own: the dialog is idle again soon after Esc even when one is held up in a read.
constexpr DWORD kStopGraceMs = 100;

// Searcher threads of a walk: on two cores, two keep both busy with the opening and
// reading that a small file costs, while the listing and the dialogue take little.
int WalkSearchers()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::min(std::max(cores, 2u), 4u));
}

// The walk's files, waited for while the host pumps its messages.
class TreeWalk : public WalkSource {
public:
    TreeWalk(WalkAhead& walk, RunHost& host, const std::atomic<bool>& stop) : m_walk(walk), m_host(host), m_stop(stop)
    {
    }
    bool Next(WalkFile& file) override
    {
        return m_walk.Next(file, [this] { m_host.PumpMessages(); }, m_stop);
    }
    bool SetPattern(const PatternBytes& pattern) override { return m_walk.SetPattern(pattern); }
    void Pause() override { m_walk.Pause(); }
    void Discard() override { m_walk.Discard(); }

private:
    WalkAhead& m_walk;
    RunHost& m_host;
    const std::atomic<bool>& m_stop;
};

}  // namespace

ScanRun::ScanRun(RunHost& host, const std::atomic<bool>& stop) : m_host(host), m_stop(stop)
{
    m_searcher.SetWhileSearching([this] { m_host.PumpMessages(); });
    m_searcher.SetStop(&m_stop);
}

// Out of line: the search aside is a complete type here.
ScanRun::~ScanRun() = default;

void ScanRun::Walk(std::string dir)
{
    PatternBytes pattern;
    if (!m_host.ReadFind(pattern) || pattern.n == 0)
        return;
    std::unique_ptr<WalkAhead> walk = std::make_unique<WalkAhead>(std::move(dir), pattern, WalkSearchers());
    try {
        TreeWalk files(*walk, m_host, m_stop);
        RunWalk(m_host, *this, files, pattern);
    } catch (...) {
        EndRunThreads(std::move(walk));
        throw;
    }
    EndRunThreads(std::move(walk));
}

SearchAnswer ScanRun::Search(const char* path, const PatternBytes& pattern)
{
    if (!m_aside)
        m_aside = std::make_unique<AsideSearch>();
    if (!m_aside->Start(path, pattern))
        return m_searcher.Search(path, pattern);  // no thread: here, pumping messages while it waits
    if (WaitRunThreads(*m_aside))
        return m_aside->Result();
    // Stopped, and the search is held up in a system call: it ends on its own.
    m_leftThreads.Keep(std::move(m_aside));
    return SearchAnswer::Of(Searched::Stopped);
}

WriteResult ScanRun::Write(const char* path, int64_t offset, const PatternBytes& expected,
                           const PatternBytes& replacement)
{
    return WriteReplacement(path, offset, expected, replacement);
}

bool ScanRun::WaitRunThreads(CThreadsOwner& owner)
{
    bool stopped = false;
    DWORD stoppedAt = 0;
    while (!owner.WaitEnded(kWaitSliceMs)) {
        m_host.PumpMessages();
        if (!m_stop)
            continue;
        const DWORD now = ::GetTickCount();
        if (!stopped) {
            owner.Stop();
            stopped = true;
            stoppedAt = now;
        } else if (now - stoppedAt >= kStopGraceMs) {
            return false;
        }
    }
    return true;
}

void ScanRun::EndRunThreads(std::unique_ptr<CThreadsOwner> owner) noexcept
{
    owner->Stop();
    if (!WaitRunThreads(*owner))
        m_leftThreads.Keep(std::move(owner));
}

bool ScanRun::EndLeftThreads()
{
    while (!m_leftThreads.WaitEnded(kWaitSliceMs)) {
        m_host.PumpMessages();
        if (m_stop)
            return false;
    }
    return true;
}

bool ScanRun::ThreadsLeft()
{
    return !m_leftThreads.WaitEnded(0);
}
