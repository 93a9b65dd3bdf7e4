// The parts of the matcher shared between its translation units: the quick-search loop
// and the choice of candidate bytes (engine/find_pattern.cpp), the two-way search that
// bounds the work on any input (engine/find_pattern_two_way.cpp) and the vector
// searches compiled for each instruction set (engine/find_pattern_sse2.cpp,
// engine/find_pattern_avx2.cpp). Pure byte routines.
#pragma once

#include <cstdint>

namespace find_pattern_detail {

using Byte = unsigned char;

// How the two-way search splits the pattern: it compares the right part [split, n) left
// to right, then the left part right to left; after a full match of a non-periodic
// pattern that fails on the left it moves on by shift, of a periodic one by period.
struct TwoWayPlan {
    int32_t split = 0;
    int32_t period = 1;
    bool periodic = true;
    int32_t shift = 1;
};

struct Needle {
    const Byte* bytes;
    const int32_t* table;  // the shift table built for it
    int32_t n;
    int32_t rare1, rare2;  // the two bytes the vector search tests; equal only when n is 1
    TwoWayPlan plan;
    int32_t rare3 = -1;  // a third byte it tests with them, where a review found no rarer pair
};

// Where the cheaper search leaves too many candidates or compares too many bytes, the
// next stretch of window starts is searched by two-way: kShortestStretch at first, twice
// as many each time the cheaper search is as slow again right after, up to
// kLongestStretch. Shared by the quick-search loop and the vector searches.
constexpr int64_t kShortestStretch = 64 << 10;
constexpr int64_t kLongestStretch = 8 << 20;

// The split of the pattern at its critical factorization (Crochemore and Perrin).
TwoWayPlan PlanTwoWay(const Byte* bytes, int32_t n);

// The two-way search over the window starts [from, to) of data[0, len), to <= len - n + 1,
// with the shift table's skip on each window's last byte while nothing is remembered of
// the window before: the lowest match, or -1 with *next set to where the search may go
// on (at least to: the windows it jumped over cannot match). At most two compares per
// byte of the stretch and one table look-up per window tried.
int64_t TwoWayStretch(const Byte* data, int64_t len, const Needle& needle, int64_t from, int64_t to, int64_t* next);

// The two bytes of the pattern expected to give the fewest candidates in the data just
// searched (before window start s of data[0, len)): the two rarest of different values
// by the counts of its last kHistogramBytes bytes, rarer by the fixed ranking where
// counts tie, or the two neighbours that follow each other least often in its last
// kAdjacentBytes. True, with needle.rare1 and rare2 changed and rare3 cleared, when the
// new pair is expected to give fewer candidates than the old. With third, rare3 is set
// too, to the byte that most often differs where the pair matches in the same stretch
// (-1 where nothing matches it): where candidates are frequent enough for a review,
// every pair may be about as common, and a third byte thins them where another pair
// would not.
constexpr int64_t kHistogramBytes = 16 << 10;
constexpr int64_t kAdjacentBytes = 4 << 10;
bool ChoosePairByData(Needle& needle, const Byte* data, int64_t len, int64_t s, bool third = false);

// The vector searches. They need at least kMostVectorBytes window starts; needle's rare
// bytes are chosen by the ranking and its plan made. The answer is FindPattern's.
constexpr int64_t kMostVectorBytes = 64;
int64_t VectorSearchSse2(const Byte* data, int64_t len, const Needle& needle);
int64_t VectorSearchAvx2(const Byte* data, int64_t len, const Needle& needle);

}  // namespace find_pattern_detail
