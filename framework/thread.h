// A thread owned by an object that joins it: started with the system's CreateThread,
// so a failure to start comes back as a return value, and nothing but the thread's
// own handle is held.
#pragma once

#include "framework/handle.h"

#include <cstddef>

class CThread {
public:
    CThread() = default;
    ~CThread() { Join(); }
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // Runs (object->*Run)() on a new thread; false when the system could not start one.
    template <class T, void (T::*Run)()>
    bool Start(T* object)
    {
        return Start([](void* p) { (static_cast<T*>(p)->*Run)(); }, object);
    }
    bool Start(void (*run)(void*), void* arg);
    // Started and not joined yet.
    bool Running() const { return m_handle.IsValid(); }
    // Waits at most ms for the thread to end; true when it has (or never started).
    bool WaitEnded(DWORD ms) const
    {
        return !m_handle.IsValid() || ::WaitForSingleObject(m_handle.Get(), ms) != WAIT_TIMEOUT;
    }
    // Waits for the thread to end and releases it.
    void Join();
    // Waits at most ms for every one of count threads to end; true when they all have.
    static bool WaitAllEnded(const CThread* threads, size_t count, DWORD ms);

private:
    static DWORD WINAPI Main(void* self);

    CHandle m_handle;
    void (*m_run)(void*) = nullptr;
    void* m_arg = nullptr;
};
