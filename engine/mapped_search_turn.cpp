#include "engine/mapped_search_turn.h"

#include "framework/sync.h"
#include "engine/address_space.h"

namespace {

CLock g_lock;
CCondition g_free;
bool g_taken = false;

constexpr DWORD kWaitSliceMs = 50;

}  // namespace

MappedSearchTurn::MappedSearchTurn(const std::function<void()>& waiting, const std::atomic<bool>* stop)
{
    if (!AddressSpaceIsShort()) {
        m_needed = false;
        return;
    }
    std::unique_lock<CLock> lock(g_lock);
    while (g_taken) {
        if (stop && stop->load())
            return;
        if (!g_free.WaitFor(lock, kWaitSliceMs) && waiting) {
            lock.unlock();
            waiting();
            lock.lock();
        }
    }
    g_taken = m_held = true;
}

MappedSearchTurn::MappedSearchTurn()
{
    if (!AddressSpaceIsShort()) {
        m_needed = false;
        return;
    }
    std::lock_guard<CLock> lock(g_lock);
    if (!g_taken)
        g_taken = m_held = true;
}

MappedSearchTurn::~MappedSearchTurn()
{
    if (!m_held)
        return;
    {
        std::lock_guard<CLock> lock(g_lock);
        g_taken = false;
    }
    g_free.NotifyOne();
}
