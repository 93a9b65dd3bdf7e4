// Threads that a stopped run could not wait for: held up in a system call (an open or a
// read on a slow share), they are left to end on their own with everything they use,
// and joined later, before the threads of the next run start.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

// What owns threads: told to stop, then waited for.
class CThreadsOwner {
public:
    virtual ~CThreadsOwner() = default;
    // Asks the threads to end as soon as they can; does not wait.
    virtual void Stop() = 0;
    // Waits at most ms for every thread to end; true when they all have.
    virtual bool WaitEnded(DWORD ms) = 0;
};

class CLeftThreads {
public:
    CLeftThreads() = default;
    // What has not ended by now is let go, never destroyed: its threads still use it.
    // The process ends them when it ends.
    ~CLeftThreads();
    CLeftThreads(const CLeftThreads&) = delete;
    CLeftThreads& operator=(const CLeftThreads&) = delete;

    // Takes owner, whose threads were told to stop.
    void Keep(std::unique_ptr<CThreadsOwner> owner) noexcept;
    bool Empty() const { return m_left.empty(); }
    // Waits at most ms for the threads left; those that have ended are joined and
    // destroyed. True when none is left.
    bool WaitEnded(DWORD ms);

private:
    std::vector<std::unique_ptr<CThreadsOwner>> m_left;
};
