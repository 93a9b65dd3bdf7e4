#include "framework/left_threads.h"

CLeftThreads::~CLeftThreads()
{
    WaitEnded(0);
    for (auto& owner : m_left)
        owner.release();
}

void CLeftThreads::Keep(std::unique_ptr<CThreadsOwner> owner) noexcept
{
    try {
        m_left.push_back(std::move(owner));
    } catch (...) {
        owner.release();  // no room to keep it: let go, as at the end of the process
    }
}

bool CLeftThreads::WaitEnded(DWORD ms)
{
    for (size_t i = 0; i < m_left.size();) {
        if (m_left[i]->WaitEnded(ms)) {
            m_left.erase(m_left.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
            ms = 0;  // the time is spent: the others are only looked at
        }
    }
    return m_left.empty();
}
