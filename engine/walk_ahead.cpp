#include "engine/walk_ahead.h"

#include "engine/search_file.h"

#include <algorithm>
#include <iterator>

WalkAhead::WalkAhead(std::string root, const PatternBytes& pattern, int searchers)
    : m_listing(root), m_inlineListing(std::move(root)), m_pattern(pattern)
{
    bool started = m_threads[0].Start<WalkAhead, &WalkAhead::List>(this);
    for (int i = 1; started && i <= std::min(searchers, kMostWalkSearchers); ++i)
        started = m_threads[i].Start<WalkAhead, &WalkAhead::Search>(this);
    if (!started) {
        // Not every thread could be started: those that were end by themselves (the
        // listing may be held up in a slow folder: nothing waits for it here), and the
        // dialogue's thread walks the tree from its start with a listing of its own.
        Stop();
        m_inline = true;
    }
}

WalkAhead::~WalkAhead()
{
    Stop();
    for (CThread& t : m_threads)
        t.Join();
}

void WalkAhead::Stop()
{
    m_abandon = true;
    {
        std::lock_guard<CLock> lock(m_lock);
        m_stop = true;
    }
    m_work.NotifyAll();
    m_room.NotifyAll();
}

bool WalkAhead::WaitEnded(DWORD ms)
{
    if (!CThread::WaitAllEnded(m_threads, std::size(m_threads), ms))
        return false;
    for (CThread& t : m_threads)
        t.Join();
    return true;
}

bool WalkAhead::Next(File& file, const std::function<void()>& waiting, const std::atomic<bool>& stop)
{
    if (stop)
        return false;
    if (m_inline) {
        file.found = SearchAnswer::Of(Searched::NotYet);
        return m_inlineListing.Next(file.path);
    }
    std::unique_lock<CLock> lock(m_lock);
    for (;;) {
        if (!m_slots.empty() && m_slots.front().state == State::Done) {
            file.path = std::move(m_slots.front().path);
            file.found = m_slots.front().found;
            m_slots.pop_front();
            ++m_taken;
            if (m_pendingFrom > 0)
                --m_pendingFrom;
            m_room.NotifyOne();
            return true;
        }
        if ((m_slots.empty() && m_listed) || stop)
            return false;
        // Called back at every wake-up, not only when the time runs out: results that
        // come often would otherwise keep the dialogue from ever pumping its messages.
        m_done.WaitFor(lock, kWalkWaitSliceMs);
        lock.unlock();
        waiting();
        lock.lock();
    }
}

bool WalkAhead::SetPattern(const PatternBytes& pattern)
{
    std::lock_guard<CLock> lock(m_lock);
    if (m_pattern == pattern)
        return false;
    m_pattern = pattern;
    DiscardLocked();
    return true;
}

void WalkAhead::Pause()
{
    std::lock_guard<CLock> lock(m_lock);
    m_paused = true;
    m_abandon = true;
}

void WalkAhead::Discard()
{
    std::lock_guard<CLock> lock(m_lock);
    DiscardLocked();
}

void WalkAhead::DiscardLocked()
{
    ++m_epoch;
    for (Slot& slot : m_slots) {
        if (slot.state == State::Done)
            slot.state = State::Pending;
    }
    m_pendingFrom = 0;
    m_paused = false;
    if (!m_stop)
        m_abandon = false;
    m_work.NotifyAll();
}

void WalkAhead::List()
{
    std::string path;
    while (m_listing.Next(path)) {
        try {
            if (!Add(path))
                break;
        } catch (...) {
            // No room to hold it: passed over, as a file that cannot be opened.
        }
    }
    std::lock_guard<CLock> lock(m_lock);
    m_listed = true;
    m_done.NotifyAll();
}

// False once the walk is stopped.
bool WalkAhead::Add(std::string& path)
{
    std::unique_lock<CLock> lock(m_lock);
    m_room.Wait(lock, [this] { return m_stop || m_slots.size() < kWalkAheadFiles; });
    if (m_stop)
        return false;
    m_slots.push_back(Slot{std::move(path), State::Pending, SearchAnswer{}});
    m_work.NotifyOne();
    return true;
}

size_t WalkAhead::FirstPending()
{
    while (m_pendingFrom < m_slots.size() && m_slots[m_pendingFrom].state != State::Pending)
        ++m_pendingFrom;
    return m_pendingFrom;
}

void WalkAhead::Search()
{
    int32_t table[256];
    FileSearcher searcher(table);
    searcher.SetStop(&m_abandon);
    PatternBytes pattern;

    std::unique_lock<CLock> lock(m_lock);
    for (;;) {
        m_work.Wait(lock, [this] { return m_stop || (!m_paused && FirstPending() < m_slots.size()); });
        if (m_stop)
            return;
        const size_t index = FirstPending();
        Slot& slot = m_slots[index];
        slot.state = State::Searching;
        const uint64_t number = m_taken + index;
        const uint64_t epoch = m_epoch;
        pattern = m_pattern;
        lock.unlock();

        // The slot stays where it is while it is searched: the dialogue takes only
        // searched files, and adding to a deque moves no element.
        const SearchAnswer found = searcher.Search(slot.path.c_str(), pattern);

        lock.lock();
        Slot& searched = m_slots[number - m_taken];
        // A search stopped by a box is made again once the box has closed.
        if (epoch == m_epoch && found.status != Searched::Stopped) {
            searched.found = found;
            searched.state = State::Done;
            m_done.NotifyAll();
        } else {
            searched.state = State::Pending;
            m_pendingFrom = std::min<size_t>(m_pendingFrom, number - m_taken);
            m_work.NotifyOne();
        }
    }
}
