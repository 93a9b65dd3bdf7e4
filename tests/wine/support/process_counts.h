// What a run must give back: the threads and kernel handles of this process.
#pragma once

#include "framework/thread.h"

#include <functional>

// Threads of this process but those that wait idle for a task (framework/thread.h).
int ThreadCount();
// Open handles of this process. Wine's GetProcessHandleCount reports 0; there the
// system's handle table is read instead.
int HandleCount();

// The threads kept idle for later tasks are ended, with what the threads library keeps
// for each (a thread that has thrown keeps an event): then a run has given back all it
// took. The counts once they hold still, to come back to after a run.
void SettledCounts(int& threads, int& handles);
// True when the counts come back to these within 3 s, once idle threads are ended.
bool CountsComeBackTo(int threads, int handles);

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
