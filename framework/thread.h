// A thread owned by an object that joins it. The system's threads are kept from one
// task to the next: a thread whose task has ended and been joined waits, idle, for the
// next Start in the process, so that only the first runs pay for starting threads
// (under Wine a new thread clears a megabyte of stack, milliseconds on some machines).
// A thread that cannot be started comes back as a return value; an idle thread holds
// no handle and nothing of the task it ran.
#pragma once

#include <windows.h>

#include <cstddef>

class CThread {
public:
    CThread() = default;
    ~CThread() { Join(); }
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Runs (object->*Run)() on a thread of its own; false when none could be started.
    template <class T, void (T::*Run)()>
    bool Start(T* object)
    {
        return Start([](void* p) { (static_cast<T*>(p)->*Run)(); }, object);
    }
    bool Start(void (*run)(void*), void* arg);
    // Started and not joined yet.
    bool Running() const { return m_worker != nullptr; }
    // Waits at most ms for the task to end; true when it has (or none was started).
    bool WaitEnded(DWORD ms) const;
    // Waits for the task to end and gives its thread back.
    void Join();
    // Waits at most ms for the tasks of every one of count threads to end; true when
    // they all have.
    static bool WaitAllEnded(const CThread* threads, size_t count, DWORD ms);

    // The threads that wait idle for a task.
    static int IdleThreads();
    // Ends them, without waiting: the threads later tasks need are started afresh.
    static void EndIdleThreads();

    struct Worker;

private:
    static DWORD WINAPI Main(void* worker);

    Worker* m_worker = nullptr;
};
