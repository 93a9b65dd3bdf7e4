// The matcher's vector search, written once for any vector width. Each translation
// unit compiled for one instruction set includes it with V, its operations:
//   V::kWidth          bytes in a vector
//   V::Reg             the vector type
//   V::Splat(b)        every byte b
//   V::Load(p)         kWidth bytes from p, any alignment
//   V::Eq, V::And, V::Or
//   V::Mask(v)         one bit per byte, from the byte's top bit
// For one byte it is a plain vector byte scan. For more it tests, at every window
// start, the pattern's two rarest bytes (engine/byte_ranks.h) at once for a whole
// vector of windows, and compares the few candidates in full. When candidates come too
// often to pay (a pattern of common bytes in data full of them), the quick-search loop
// takes over for a stretch. No load reaches outside the range: the last vector of the
// range overlaps the one before it instead.
#pragma once

#include "engine/find_pattern_internal.h"

#include <algorithm>
#include <cstring>

namespace find_pattern_detail {

// Of kReviewEvery window starts, at most kMostFalseCandidates may turn out candidates
// that fail: at the next one, the quick-search loop searches the following stretch,
// at first kShortestStretch window starts, twice as many each time the vector search
// fails again right after one, up to kLongestStretch.
constexpr int64_t kReviewEvery = 4096;
constexpr int kMostFalseCandidates = 48;
constexpr int64_t kShortestStretch = 64 << 10;
constexpr int64_t kLongestStretch = 8 << 20;

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
    int64_t s = 0;
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

// The first window start in data[0, len) that holds the needle (n >= 2), with at least
// V::kWidth window starts.
template <class V>
int64_t FindPair(const Byte* data, int64_t len, const Needle& needle)
{
    constexpr int W = V::kWidth;
    const int64_t last = len - needle.n;  // the highest window start
    const Byte* const at1 = data + needle.rare1;
    const Byte* const at2 = data + needle.rare2;
    const typename V::Reg byte1 = V::Splat(needle.bytes[needle.rare1]);
    const typename V::Reg byte2 = V::Splat(needle.bytes[needle.rare2]);
    auto candidates = [&](int64_t s) {
        return V::And(V::Eq(V::Load(at1 + s), byte1), V::Eq(V::Load(at2 + s), byte2));
    };

    int64_t s = 0;  // the first window start not searched yet
    int64_t review = kReviewEvery;
    int falseCandidates = 0;
    int64_t stretch = kShortestStretch;
    for (;;) {
        // Four vectors of window starts at a time while none is a candidate.
        const int64_t fast = std::min(review, last + 1 - 4 * W);
        while (s <= fast && V::Mask(V::Or(V::Or(candidates(s), candidates(s + W)),
                                          V::Or(candidates(s + 2 * W), candidates(s + 3 * W)))) == 0)
            s += 4 * W;
        if (s > last)
            return -1;

        // One vector, its candidates compared in full; the last overlaps the one before.
        const int64_t block = std::min(s, last + 1 - W);
        uint32_t mask = V::Mask(candidates(block)) & (~0u << (s - block));
        s = block + W;
        for (; mask; mask &= mask - 1) {
            const int64_t start = block + LowestBit(mask);
            if (std::memcmp(data + start, needle.bytes, static_cast<size_t>(needle.n)) == 0)
                return start;
            if (++falseCandidates > kMostFalseCandidates) {
                s = start + 1;
                break;
            }
        }
        if (s > last)
            return -1;
        if (falseCandidates > kMostFalseCandidates) {
            const int64_t found = QuickSearchStretch(data, len, needle, s, std::min(last + 1, s + stretch), &s);
            if (found >= 0 || s > last)
                return found;
            stretch = std::min(2 * stretch, kLongestStretch);
            falseCandidates = 0;
            review = s + kReviewEvery;
        } else if (s >= review) {
            stretch = kShortestStretch;
            falseCandidates = 0;
            review = s + kReviewEvery;
        }
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
