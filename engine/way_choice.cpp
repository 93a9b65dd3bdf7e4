#include "engine/way_choice.h"

void WayChoice::Timed(const double secondsPerByte[kReadWays])
{
    // The process's first trial pays for first times (a new buffer's page faults, the
    // first view mapped): the next large file is timed again.
    m_due = m_trials == 0;
    ++m_trials;
    m_sinceTrial = 0;
    int best = -1;
    for (int way = 0; way < kReadWays; ++way) {
        if (secondsPerByte[way] >= 0 && (best < 0 || secondsPerByte[way] < secondsPerByte[best]))
            best = way;
    }
    if (best < 0) {
        m_due = true;  // nothing timed: the next large file tries again
        return;
    }
    m_chosen = static_cast<ReadWay>(best);
    m_timed = secondsPerByte[best];
}

void WayChoice::Ran(int64_t bytes, double seconds)
{
    if (bytes < kRateCheckBytes)
        return;
    m_sinceTrial += bytes;
    if (m_sinceTrial >= kRetrialBytes || (m_timed > 0 && seconds > 3 * m_timed * static_cast<double>(bytes)))
        m_due = true;
}
