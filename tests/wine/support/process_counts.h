// What a run must give back: the threads and kernel handles of this process.
#pragma once

#include "framework/thread.h"

#include <functional>

int ThreadCount();
// Open handles of this process. Wine's GetProcessHandleCount reports 0; there the
// system's handle table is read instead.
int HandleCount();

// A thread of the test's own, started with the system's CreateThread and joined when
// it goes: a std::thread leaves records of the threads library behind (a thread handle,
// semaphores), which would count as the program's handles.
class TestThread {
public:
    explicit TestThread(std::function<void()> run) : m_run(std::move(run))
    {
        m_thread.Start([](void* run) { (*static_cast<std::function<void()>*>(run))(); }, &m_run);
    }
    void join() { m_thread.Join(); }

private:
    std::function<void()> m_run;
    CThread m_thread;
};
