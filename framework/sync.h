// A lock and a condition of the system's own (a slim reader/writer lock taken
// exclusively, a condition variable). Neither holds a kernel object, so nothing is
// left behind when they go: the threads library's mutex keeps an event made when it
// was first contended, and its destructor does not release it.
#pragma once

#include <windows.h>

#include <mutex>

class CLock {
public:
    CLock() = default;
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

    // For std::lock_guard and std::unique_lock.
    void lock() { ::AcquireSRWLockExclusive(&m_lock); }
    void unlock() { ::ReleaseSRWLockExclusive(&m_lock); }
    SRWLOCK* Native() { return &m_lock; }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};

class CCondition {
public:
    CCondition() = default;
    CCondition(const CCondition&) = delete;
    CCondition& operator=(const CCondition&) = delete;

    // Waits until woken, or until ms have passed; the lock is held again on return.
    // False when the time ran out.
    bool WaitFor(std::unique_lock<CLock>& lock, DWORD ms)
    {
        return ::SleepConditionVariableSRW(&m_condition, lock.mutex()->Native(), ms, 0) != FALSE;
    }
    // Waits until done() holds.
    template <class Done>
    void Wait(std::unique_lock<CLock>& lock, Done done)
    {
        while (!done())
            WaitFor(lock, INFINITE);
    }
    void NotifyOne() { ::WakeConditionVariable(&m_condition); }
    void NotifyAll() { ::WakeAllConditionVariable(&m_condition); }

private:
    CONDITION_VARIABLE m_condition = CONDITION_VARIABLE_INIT;
};
