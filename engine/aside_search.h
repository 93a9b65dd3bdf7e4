// One file searched on a thread of its own, while the dialog's thread pumps its
// messages: a slow disk keeps neither waiting. Everything the search uses is the object's
// own, so a search held up in a system call can outlive the run that started it
// (framework/left_threads.h).
#pragma once

#include "framework/left_threads.h"
#include "framework/thread.h"
#include "engine/pattern_bytes.h"
#include "engine/search_file.h"

#include <atomic>
#include <cstdint>
#include <string>

class AsideSearch : public CThreadsOwner {
public:
    AsideSearch() { m_searcher.SetStop(&m_stop); }
    ~AsideSearch() override { m_thread.Join(); }
    AsideSearch(const AsideSearch&) = delete;
    AsideSearch& operator=(const AsideSearch&) = delete;

    // Starts searching the file at path for pattern, once the search before has ended;
    // false when no thread could be started.
    bool Start(const char* path, const PatternBytes& pattern);
    // Once ended: the search result (FileSearcher::Search).
    SearchAnswer Result() const { return m_found; }

    // The search ends at its next piece or view, stopped.
    void Stop() override { m_stop = true; }
    // Joined as soon as it has ended: nothing of the thread is held between searches.
    bool WaitEnded(DWORD ms) override
    {
        if (!m_thread.WaitEnded(ms))
            return false;
        m_thread.Join();
        return true;
    }

private:
    void Run() { m_found = m_searcher.Search(m_path.c_str(), m_pattern); }

    std::string m_path;
    PatternBytes m_pattern;
    SearchAnswer m_found = SearchAnswer::Of(Searched::Unreadable);
    std::atomic<bool> m_stop{false};
    int32_t m_table[256] = {};
    FileSearcher m_searcher{m_table};
    CThread m_thread;  // last: joined before the rest goes
};
