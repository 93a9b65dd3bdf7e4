// The matcher's vector search, written once for any vector width. Each translation
// unit compiled for one instruction set includes it with V, its operations:
//   V::kWidth          bytes in a vector
//   V::Reg             the vector type
//   V::Splat(b)        every byte b
//   V::Load(p)         kWidth bytes from p, any alignment
//   V::Eq, V::And, V::Or
//   V::Mask(v)         one bit per byte, from the byte's top bit
// For one byte it is a plain vector byte scan. For more it tests, at every window
// start, two of the pattern's bytes at once for a whole vector of windows, and compares
// the few candidates in full. The two are the rarest by a fixed ranking at first; when
// candidates are frequent, they are chosen again from the data just searched, with a
// third byte where the pair matches, the one the data there differs in most often; when
// they cost more than the scan and no pair is rarer, a stretch is tested on more of the
// pattern's bytes, and searched by two-way where even those leave too many candidates. No load
// reaches outside the range: the last vector of the range overlaps the one before it
// instead.
#pragma once

#include "engine/find_pattern_internal.h"

#include <algorithm>

namespace find_pattern_detail {

// The candidates' work is paid from a budget of kMostWork bytes, refilled by one for
// each window start the search moves past: a false candidate costs kCandidateCost and
// the bytes compared. When it runs out, the pair is chosen again from the data, unless
// that was done fewer than kMostWork window starts before or finds no rarer pair: then
// the next stretch, of kShortestStretch window starts, twice as many each time the
// budget runs out as soon again, up to kLongestStretch, is searched testing kWideBytes
// of the pattern's bytes at every window start, and where even those leave too many
// candidates, the rest of it by two-way.
constexpr int64_t kMostWork = 64 << 10;
constexpr int64_t kCandidateCost = 64;
// Candidates the budget can afford may still cost more than the scan, where a rarer
// pair would give fewer: after kReviewCandidates false ones closer than
// kReviewSpacing window starts apart on average, the data is asked for a rarer pair
// and a third byte to test with it (until the budget runs out and the pair alone is
// chosen again), and again after twice as many each time, up to kMostReview: where the
// data's make-up changes every few KiB (executables), the bytes chosen from the last few
// KiB may be no better further on, and reviews would cost more than they save.
constexpr int32_t kReviewCandidates = 256;
constexpr int64_t kReviewSpacing = 1024;
constexpr int32_t kMostReview = 64 << 10;
constexpr int kWideBytes = 8;

inline int LowestBit(uint32_t mask)
{
    return __builtin_ctz(mask);
}

// The first offset of b in data[0, len), len >= V::kWidth.
template <class V>
int64_t FindByte(const Byte* data, int64_t len, Byte b)
{
    constexpr int W = V::kWidth;
    const typename V::Reg needle = V::Splat(b);
    // One vector from the start, then on from the next boundary of a vector, so that no
    // load of the main loop straddles two cache lines.
    if (const uint32_t m = V::Mask(V::Eq(V::Load(data), needle)))
        return LowestBit(m);
    int64_t s = W - static_cast<int64_t>(reinterpret_cast<uintptr_t>(data) % W);
    for (; s + 4 * W <= len; s += 4 * W) {
        const typename V::Reg e0 = V::Eq(V::Load(data + s), needle);
        const typename V::Reg e1 = V::Eq(V::Load(data + s + W), needle);
        const typename V::Reg e2 = V::Eq(V::Load(data + s + 2 * W), needle);
        const typename V::Reg e3 = V::Eq(V::Load(data + s + 3 * W), needle);
        if (V::Mask(V::Or(V::Or(e0, e1), V::Or(e2, e3))) == 0)
            continue;
        if (const uint32_t m = V::Mask(e0))
            return s + LowestBit(m);
        if (const uint32_t m = V::Mask(e1))
            return s + W + LowestBit(m);
        if (const uint32_t m = V::Mask(e2))
            return s + 2 * W + LowestBit(m);
        return s + 3 * W + LowestBit(V::Mask(e3));
    }
    for (; s + W <= len; s += W) {
        if (const uint32_t m = V::Mask(V::Eq(V::Load(data + s), needle)))
            return s + LowestBit(m);
    }
    if (s < len) {
        // The last vector ends at the range's end; its first bytes were searched.
        const int64_t at = len - W;
        if (const uint32_t m = V::Mask(V::Eq(V::Load(data + at), needle)) >> (s - at))
            return s + LowestBit(m);
    }
    return -1;
}

// -1 when the window at w holds the pattern x (n bytes); otherwise how many bytes were
// compared to find it does not.
template <class V>
int32_t Compare(const Byte* w, const Byte* x, int32_t n)
{
    constexpr int W = V::kWidth;
    constexpr uint32_t kAll = W == 32 ? ~0u : (1u << W) - 1;
    if (n < W) {
        for (int32_t i = 0; i < n; ++i) {
            if (w[i] != x[i])
                return i + 1;
        }
        return -1;
    }
    int32_t i = 0;
    for (;; i += W) {
        // The last vector ends at the pattern's end.
        i = std::min(i, n - W);
        const uint32_t equal = V::Mask(V::Eq(V::Load(w + i), V::Load(x + i)));
        if (equal != kAll)
            return i + LowestBit(~equal) + 1;
        if (i == n - W)
            return -1;
    }
}

// The bytes of the pattern a scan tests at every window start.
template <class V, int K>
struct Filter {
    int32_t place[K];         // the byte's place in the pattern
    typename V::Reg byte[K];  // the byte, in every lane

    Filter(const Needle& needle, const int32_t (&places)[K])
    {
        for (int k = 0; k < K; ++k) {
            place[k] = places[k];
            byte[k] = V::Splat(needle.bytes[places[k]]);
        }
    }
    // The candidates among the V::kWidth windows starting at w.
    typename V::Reg Candidates(const Byte* w) const
    {
        typename V::Reg c = V::Eq(V::Load(w + place[0]), byte[0]);
        for (int k = 1; k < K; ++k)
            c = V::And(c, V::Eq(V::Load(w + place[k]), byte[k]));
        return c;
    }
};

// The budget of a scan: see kMostWork.
struct Budget {
    explicit Budget(int64_t from) : paidTo(from) {}

    int64_t left = kMostWork;
    int64_t paidTo;  // the window start up to which it was refilled
    int32_t falseCandidates = 0;  // since reviewFrom
    int64_t reviewFrom = paidTo;
    int32_t reviewAt = kReviewCandidates;

    // False when paying for a false candidate at start leaves it overdrawn.
    bool Pay(int64_t start, int32_t compared)
    {
        left = std::min(kMostWork, left + (start - paidTo)) - kCandidateCost - compared;
        paidTo = start;
        ++falseCandidates;
        return left >= 0;
    }
    // True when the false candidates up to start call for a review; counts afresh
    // from there once there are enough of them.
    bool ReviewDue(int64_t start)
    {
        if (falseCandidates < reviewAt)
            return false;
        const bool close = start - reviewFrom < reviewAt * kReviewSpacing;
        falseCandidates = 0;
        reviewFrom = start;
        return close;
    }
};

enum class ScanEnd { Found, Overdrawn, Review, Done };

// Scans the window starts [*at, to) of data, to <= len - n + 1 with at least V::kWidth
// window starts in the range, for the needle's bytes that filter tests, comparing the
// candidates in full. Found: *at is the match. Overdrawn: the budget ran out, *at is the
// first window start not searched. Done: no match below to.
template <class V, int K>
ScanEnd Scan(const Byte* data, int64_t len, const Needle& needle, const Filter<V, K>& filter, int64_t* at,
             int64_t to, Budget& budget)
{
    constexpr int W = V::kWidth;
    const int64_t last = len - needle.n;  // the highest window start
    int64_t s = *at;
    for (;;) {
        // Four vectors of window starts at a time while none is a candidate; on pointers,
        // which a 32-bit processor keeps in one register each.
        const int64_t fast = std::min(to, last + 1) - 4 * W;
        if (s <= fast) {
            const Byte* w = data + s;
            const Byte* const stop = data + fast;
            while (w <= stop && V::Mask(V::Or(V::Or(filter.Candidates(w), filter.Candidates(w + W)),
                                              V::Or(filter.Candidates(w + 2 * W), filter.Candidates(w + 3 * W)))) == 0)
                w += 4 * W;
            s = w - data;
        }
        if (s >= to) {
            *at = s;
            return ScanEnd::Done;
        }

        // One vector at a time up to the first that holds a candidate, whose candidates
        // are compared in full; the last overlaps the one before. Back to the fast loop
        // only after that, which would stop at the same candidate again.
        int64_t block;
        uint32_t mask;
        do {
            block = std::min(s, last + 1 - W);
            mask = V::Mask(filter.Candidates(data + block)) & (~0u << (s - block));
            s = block + W;
        } while (!mask && s < to);
        for (; mask; mask &= mask - 1) {
            const int64_t start = block + LowestBit(mask);
            if (start >= to)
                break;
            const int32_t compared = Compare<V>(data + start, needle.bytes, needle.n);
            if (compared < 0) {
                *at = start;
                return ScanEnd::Found;
            }
            if (!budget.Pay(start, compared)) {
                *at = start + 1;
                return ScanEnd::Overdrawn;
            }
            if (budget.ReviewDue(start)) {
                *at = start + 1;
                return ScanEnd::Review;
            }
        }
    }
}

// The first window start in data[0, len) that holds the needle (n >= 2), with at least
// V::kWidth window starts.
template <class V>
int64_t FindPair(const Byte* data, int64_t len, Needle needle)
{
    const int64_t end = len - needle.n + 1;  // past the highest window start
    int64_t s = 0;  // the first window start not searched yet
    int64_t chosenAt = -kMostWork;  // where the data last chose the pair; the ranking may be undone at once
    int64_t stretch = kShortestStretch;
    Budget budget(s);
    for (;;) {
        const ScanEnd scan =
            needle.rare3 < 0
                ? Scan<V, 2>(data, len, needle, Filter<V, 2>(needle, {needle.rare1, needle.rare2}), &s, end, budget)
                : Scan<V, 3>(data, len, needle, Filter<V, 3>(needle, {needle.rare1, needle.rare2, needle.rare3}), &s,
                             end, budget);
        if (scan == ScanEnd::Review) {
            // The same budget goes on: a review changes what is tested, not what it may cost.
            ChoosePairByData(needle, data, len, s, true);
            budget.reviewAt = std::min(2 * budget.reviewAt, kMostReview);
            continue;
        }
        if (scan != ScanEnd::Overdrawn)
            return scan == ScanEnd::Found ? s : -1;

        // The candidates cost more than the scan: the pair alone is chosen again.
        needle.rare3 = -1;
        if (s - chosenAt >= stretch)
            stretch = kShortestStretch;  // the last pair held as long as the last stretch lasted
        const bool recent = s - chosenAt < kMostWork;
        chosenAt = s;
        if (!recent && ChoosePairByData(needle, data, len, s)) {
            budget = Budget(s);
            continue;
        }

        // No pair is rare here: a stretch tested on more of the pattern's bytes, the
        // pair and others spread over the pattern.
        const int64_t to = std::min(end, s + stretch);
        stretch = std::min(2 * stretch, kLongestStretch);
        int32_t places[kWideBytes] = {needle.rare1, needle.rare2};
        for (int k = 2; k < kWideBytes; ++k)
            places[k] = static_cast<int32_t>(int64_t(needle.n - 1) * (k - 2) / (kWideBytes - 3));
        Budget wideBudget(s);
        wideBudget.reviewAt = INT32_MAX;  // its bytes are chosen for the stretch
        const ScanEnd wide = Scan<V, kWideBytes>(data, len, needle, Filter<V, kWideBytes>(needle, places), &s,
                                                 to, wideBudget);
        if (wide == ScanEnd::Found)
            return s;
        if (wide == ScanEnd::Overdrawn) {
            const int64_t found = TwoWayStretch(data, len, needle, s, to, &s);
            if (found >= 0)
                return found;
        }
        if (s >= end)
            return -1;
        ChoosePairByData(needle, data, len, s);
        chosenAt = s;
        budget = Budget(s);
    }
}

template <class V>
int64_t VectorSearch(const Byte* data, int64_t len, const Needle& needle)
{
    if (needle.n == 1)
        return FindByte<V>(data, len, needle.bytes[0]);
    return FindPair<V>(data, len, needle);
}

}  // namespace find_pattern_detail
