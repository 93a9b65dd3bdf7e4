#include "framework/thread.h"

#include "framework/sync.h"

#include <new>

struct CThread::Worker {
    CCondition go;                // a task or the end is there
    void (*run)(void*) = nullptr;  // the task, until it has ended
    void* arg = nullptr;
    bool end = false;
    Worker* nextIdle = nullptr;
};

namespace {

// The process's threads: those that run a task, and a list of those that wait for one.
// Never destroyed: at the end of the process its threads are ended with it, and a task
// held up in a system call may still run.
struct Pool {
    CLock lock;
    CCondition ended;  // a task has ended
    CThread::Worker* idle = nullptr;
    int idleCount = 0;
};

Pool& ThePool()
{
    static Pool* pool = new Pool;
    return *pool;
}

// Waits on pool.ended until done() holds, at most ms; true when it does.
template <class Done>
bool WaitTasks(std::unique_lock<CLock>& lock, DWORD ms, Done done)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        const DWORD waited = ::GetTickCount() - start;
        if (ms != INFINITE && waited >= ms)
            return false;
        ThePool().ended.WaitFor(lock, ms == INFINITE ? INFINITE : ms - waited);
    }
    return true;
}

}  // namespace

bool CThread::Start(void (*run)(void*), void* arg)
{
    Join();
    Pool& pool = ThePool();
    std::unique_lock<CLock> lock(pool.lock);
    Worker* worker = pool.idle;
    if (worker) {
        pool.idle = worker->nextIdle;
        --pool.idleCount;
    } else {
        lock.unlock();
        worker = new (std::nothrow) Worker;
        if (!worker)
            return false;
        const HANDLE thread = ::CreateThread(nullptr, 0, Main, worker, 0, nullptr);
        if (!thread) {
            delete worker;
            return false;
        }
        // The thread is never joined by its handle: it waits for tasks until the process ends.
        ::CloseHandle(thread);
        lock.lock();
    }
    worker->run = run;
    worker->arg = arg;
    m_worker = worker;
    worker->go.NotifyOne();
    return true;
}

bool CThread::WaitEnded(DWORD ms) const
{
    if (!m_worker)
        return true;
    std::unique_lock<CLock> lock(ThePool().lock);
    return WaitTasks(lock, ms, [this] { return m_worker->run == nullptr; });
}

void CThread::Join()
{
    if (!m_worker)
        return;
    Pool& pool = ThePool();
    std::unique_lock<CLock> lock(pool.lock);
    WaitTasks(lock, INFINITE, [this] { return m_worker->run == nullptr; });
    m_worker->nextIdle = pool.idle;
    pool.idle = m_worker;
    ++pool.idleCount;
    m_worker = nullptr;
}

bool CThread::WaitAllEnded(const CThread* threads, size_t count, DWORD ms)
{
    std::unique_lock<CLock> lock(ThePool().lock);
    return WaitTasks(lock, ms, [threads, count] {
        for (size_t i = 0; i < count; ++i) {
            if (threads[i].m_worker && threads[i].m_worker->run)
                return false;
        }
        return true;
    });
}

int CThread::IdleThreads()
{
    Pool& pool = ThePool();
    std::lock_guard<CLock> lock(pool.lock);
    return pool.idleCount;
}

void CThread::EndIdleThreads()
{
    Pool& pool = ThePool();
    std::lock_guard<CLock> lock(pool.lock);
    for (Worker* w = pool.idle; w; w = w->nextIdle) {
        w->end = true;
        w->go.NotifyOne();
    }
    pool.idle = nullptr;
    pool.idleCount = 0;
}

DWORD WINAPI CThread::Main(void* arg)
{
    Worker* const worker = static_cast<Worker*>(arg);
    Pool& pool = ThePool();
    std::unique_lock<CLock> lock(pool.lock);
    for (;;) {
        worker->go.Wait(lock, [worker] { return worker->run || worker->end; });
        if (worker->end)
            break;
        lock.unlock();
        // The tasks' own functions contain what they can throw; an exception must not
        // leave the thread whatever happens.
        try {
            worker->run(worker->arg);
        } catch (...) {
        }
        lock.lock();
        worker->run = nullptr;
        pool.ended.NotifyAll();
    }
    lock.unlock();
    delete worker;
    return 0;
}
