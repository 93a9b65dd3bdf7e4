// Where address space is short (a 32-bit process), one file at a time is searched
// through mapped views, so its two views always find room beside everything else.
#pragma once

#include <atomic>
#include <functional>

class MappedSearchTurn {
public:
    // Waits for the turn, calling waiting every so often, and gives up once *stop holds.
    MappedSearchTurn(const std::function<void()>& waiting, const std::atomic<bool>* stop);
    // Takes the turn only where it is free now.
    MappedSearchTurn();
    ~MappedSearchTurn();
    MappedSearchTurn(const MappedSearchTurn&) = delete;
    MappedSearchTurn& operator=(const MappedSearchTurn&) = delete;

    // Whether views may be mapped: the turn is held, or none is needed. A wait that gave
    // up holds nothing, whatever the stop flag says by the time anyone looks again.
    bool Granted() const { return m_held || !m_needed; }

private:
    bool m_needed = true;
    bool m_held = false;
};
