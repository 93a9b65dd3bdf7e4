// The two-way search (Crochemore and Perrin, 1991): linear in the range whatever the
// pattern and the data, with constant extra space. The matcher falls back on it where
// the bytes of the pattern fill the data and neither the vector search's candidates nor
// the quick-search loop's shifts keep the work down.
#include "engine/find_pattern_internal.h"

#include <algorithm>
#include <cstring>

namespace find_pattern_detail {
namespace {

// The start of the lexicographically greatest suffix of x[0, n), under the byte order
// or its reverse, and that suffix's period.
void MaximalSuffix(const Byte* x, int32_t n, bool reversed, int32_t* start, int32_t* period)
{
    int32_t before = -1;  // the suffix starts at before + 1
    int32_t j = 0, k = 1, p = 1;
    while (j + k < n) {
        const Byte a = x[j + k], b = x[before + k];
        if (reversed ? a > b : a < b) {
            // The candidate is smaller: the suffix's period is all of it so far.
            j += k;
            k = 1;
            p = j - before;
        } else if (a == b) {
            // One more byte of the current period.
            if (k == p) {
                j += p;
                k = 1;
            } else {
                ++k;
            }
        } else {
            // The candidate is greater: it becomes the suffix.
            before = j++;
            k = p = 1;
        }
    }
    *start = before + 1;
    *period = p;
}

}  // namespace

TwoWayPlan PlanTwoWay(const Byte* bytes, int32_t n)
{
    int32_t split1, period1, split2, period2;
    MaximalSuffix(bytes, n, false, &split1, &period1);
    MaximalSuffix(bytes, n, true, &split2, &period2);
    // The later of the two splits is a critical factorization.
    TwoWayPlan plan;
    plan.split = std::max(split1, split2);
    plan.period = split1 >= split2 ? period1 : period2;
    // The pattern has that period when its left part recurs one period on.
    plan.periodic = plan.period + plan.split <= n &&
                    std::memcmp(bytes, bytes + plan.period, static_cast<size_t>(plan.split)) == 0;
    plan.shift = std::max(plan.split, n - plan.split) + 1;
    return plan;
}

int64_t TwoWayStretch(const Byte* data, int64_t len, const Needle& needle, int64_t from, int64_t to, int64_t* next)
{
    const Byte* const x = needle.bytes;
    const int32_t n = needle.n;
    const TwoWayPlan& plan = needle.plan;
    to = std::min(to, len - n + 1);
    int64_t j = from;
    int32_t memory = 0;  // bytes at the window's start known to match, periodic patterns only
    while (j < to) {
        const Byte* const y = data + j;
        // The table's entry less one is the distance to the next window whose last byte
        // could be this one: 0 when it is the pattern's last byte.
        if (memory == 0) {
            const int32_t skip = needle.table[y[n - 1]] - 1;
            if (skip > 0) {
                j += skip;
                continue;
            }
        }
        int32_t i = std::max(plan.split, memory);
        while (i < n && x[i] == y[i])
            ++i;
        if (i < n) {
            j += i - plan.split + 1;
            memory = 0;
            continue;
        }
        int32_t k = plan.split - 1;
        while (k >= memory && x[k] == y[k])
            --k;
        if (k < memory)
            return j;
        if (plan.periodic) {
            j += plan.period;
            memory = n - plan.period;
        } else {
            j += plan.shift;
        }
    }
    *next = j;
    return -1;
}

}  // namespace find_pattern_detail
