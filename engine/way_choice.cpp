#include "engine/way_choice.h"

#include <algorithm>

void WayChoice::Timed(const double secondsPerByte[kReadWays])
{
    // The process's first trial pays for first times (a new buffer's page faults, the
    // first view mapped): the next large file is timed again.
    m_sinceTrial = 0;
    if (*std::max_element(secondsPerByte, secondsPerByte + kReadWays) < 0) {
        m_due = true;  // nothing timed: the next large file tries again
        return;
    }
    const bool wary = m_trials >= 2 && m_afterSlowRun;
    m_due = m_trials == 0;
    m_afterSlowRun = false;
    double cost[kReadWays];
    int best = -1, bestPlain = -1;  // of all, and of those not dear
    for (int way = 0; way < kReadWays; ++way) {
        cost[way] = secondsPerByte[way];
        if (m_trials == 1 && m_first[way] >= 0 && (cost[way] < 0 || m_first[way] < cost[way]))
            cost[way] = m_first[way];
        if (m_trials == 0)
            m_first[way] = cost[way];
        if (cost[way] < 0)
            continue;
        if (best < 0 || cost[way] < cost[best])
            best = way;
        if (!m_dear[way] && (bestPlain < 0 || cost[way] < cost[bestPlain]))
            bestPlain = way;
    }
    ++m_trials;
    if (wary) {
        if (bestPlain >= 0 && kRetimedWithin * cost[best] >= cost[bestPlain])
            best = bestPlain;
    } else {
        for (int way = 0; way < kReadWays; ++way)
            m_dear[way] = cost[way] > kRetimedWithin * cost[best];
    }
    m_chosen = static_cast<ReadWay>(best);
    m_timed = cost[best];
}

void WayChoice::Ran(int64_t bytes, double seconds)
{
    if (bytes < kRateCheckBytes)
        return;
    m_sinceTrial += bytes;
    if (m_sinceTrial >= kRetrialBytes) {
        m_due = true;
        m_afterSlowRun = false;
    } else if (!m_due && m_timed > 0 && seconds > 3 * m_timed * static_cast<double>(bytes)) {
        m_due = true;
        m_afterSlowRun = true;
    }
}
