#include "framework/thread.h"

bool CThread::Start(void (*run)(void*), void* arg)
{
    Join();
    m_run = run;
    m_arg = arg;
    m_handle.Reset(::CreateThread(nullptr, 0, Main, this, 0, nullptr));
    return m_handle.IsValid();
}

void CThread::Join()
{
    if (!m_handle.IsValid())
        return;
    ::WaitForSingleObject(m_handle.Get(), INFINITE);
    m_handle.Close();
}

bool CThread::WaitAllEnded(const CThread* threads, size_t count, DWORD ms)
{
    HANDLE running[MAXIMUM_WAIT_OBJECTS];
    DWORD n = 0;
    for (size_t i = 0; i < count; ++i) {
        if (threads[i].m_handle.IsValid()) {
            if (n == MAXIMUM_WAIT_OBJECTS)
                return false;
            running[n++] = threads[i].m_handle.Get();
        }
    }
    return n == 0 || ::WaitForMultipleObjects(n, running, TRUE, ms) != WAIT_TIMEOUT;
}

DWORD WINAPI CThread::Main(void* self)
{
    const auto* thread = static_cast<CThread*>(self);
    // The threads' own functions contain what they can throw; an exception must not
    // leave the thread whatever happens.
    try {
        thread->m_run(thread->m_arg);
    } catch (...) {
    }
    return 0;
}
