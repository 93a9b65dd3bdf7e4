#include "engine/runs_ahead.h"

#include "engine/find_pattern.h"
#include "engine/search_clock.h"
#include "engine/search_file.h"

RunsAhead::RunsAhead(const RunPlan& plan, RunWorker& own, RunWorker& helper, const std::atomic<bool>* stop,
                     const std::function<void()>& waiting)
    : m_plan(plan), m_own(own), m_helper(helper), m_stop(stop), m_waiting(waiting),
      m_order(plan.Runs(), SearchAnswer::Of(Searched::NotFound))
{
    // A helper only where there is a second run to take. Once started, only the helper
    // says it has gone: it may be gone before Start returns.
    if (m_plan.Runs() < 2 || !m_thread.Start<RunsAhead, &RunsAhead::Run>(this))
        m_helperGone = true;
}

RunsAhead::~RunsAhead()
{
    {
        std::lock_guard<CLock> lock(m_lock);
        m_quit = true;
    }
    while (!m_thread.WaitEnded(kWaitSliceMs)) {
        if (m_waiting)
            m_waiting();
    }
    m_thread.Join();
}

SearchAnswer RunsAhead::Search()
{
    std::unique_lock<CLock> lock(m_lock);
    for (;;) {
        if (m_stop && m_stop->load())
            return SearchAnswer::Of(Searched::Stopped);
        if (m_order.Decided())
            return m_order.Result();
        if (m_order.PieceLeft() && (!m_waiting || m_helperGone))
            Work(0, m_own, lock);
        else
            m_changed.WaitFor(lock, kWaitSliceMs);
        // At every wake-up: runs that end often would otherwise keep a waiting thread
        // from ever pumping its messages.
        if (m_waiting) {
            lock.unlock();
            m_waiting();
            lock.lock();
        }
    }
}

double RunsAhead::BusySeconds()
{
    std::lock_guard<CLock> lock(m_lock);
    return m_busySeconds;
}

int64_t RunsAhead::BusyBytes()
{
    std::lock_guard<CLock> lock(m_lock);
    return m_busyBytes;
}

void RunsAhead::Run()
{
    const bool prepared = m_helper.Prepare();
    std::unique_lock<CLock> lock(m_lock);
    if (prepared) {
        while (!m_quit && !(m_stop && m_stop->load()) && m_order.PieceLeft())
            Work(1, m_helper, lock);
    }
    lock.unlock();
    m_helper.Finish();
    lock.lock();
    m_helperGone = true;
    m_changed.NotifyAll();
}

void RunsAhead::Work(int worker, RunWorker& search, std::unique_lock<CLock>& lock)
{
    const int64_t run = m_order.Take(worker);
    lock.unlock();
    const int64_t from = m_plan.Begin(run), end = m_plan.End(run);
    const double start = SearchClockSeconds();
    const SearchAnswer found = search.Search(from, end);
    const double seconds = SearchClockSeconds() - start;
    lock.lock();
    m_busySeconds += seconds;
    m_busyBytes += end - from;
    m_order.Done(worker, found);
    m_changed.NotifyAll();
}
