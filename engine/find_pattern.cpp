#include "engine/find_pattern.h"

#include "engine/byte_ranks.h"
#include "engine/find_pattern_internal.h"

#include <algorithm>
#include <cstdlib>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

int32_t g_shiftTable[256];

void BuildShiftTable(const unsigned char* pattern, int32_t n, int32_t* table)
{
    for (int i = 0; i < 256; ++i)
        table[i] = n + 1;
    // Ascending j so the last occurrence of a byte leaves the smallest shift;
    // a larger one could jump over a match.
    for (int32_t j = 0; j < n; ++j)
        table[pattern[j]] = n - j;
}

namespace {

using find_pattern_detail::Byte;
using find_pattern_detail::Needle;

// The interleaved search splits the range between this many lanes; a lane that has
// finished takes over half of the largest range left, down to ranges of this size.
constexpr int kLanes = 4;
constexpr int64_t kMinSplitWindows = 64;

struct Pattern {
    const Byte* bytes;
    const int32_t* table;
    int32_t n;
    Byte first, last;
    int64_t* work;  // bytes compared past the first and last, where they both matched

    // The first and last bytes reject almost every window before a full compare. One
    // test of both: either byte alone is often common, and a branch on it would be
    // mispredicted as often as it is taken.
    bool Matches(const Byte* w) const
    {
        if ((w[0] ^ first) | (w[n - 1] ^ last))
            return false;
        // Inline: a library call costs more than the few bytes a near miss compares.
        for (int32_t i = 1; i < n - 1; ++i) {
            if (w[i] != bytes[i]) {
                *work += i;
                return false;
            }
        }
        return true;
    }
    const Byte* Next(const Byte* w) const { return w + table[w[n]]; }
};

// The quick-search loop over the windows starting in [w, end): each has a byte behind
// it. Returns the first that matches, or nullptr.
const Byte* SearchWindows(const Pattern& p, const Byte* w, const Byte* end)
{
    for (; w < end; w = p.Next(w)) {
        if (p.Matches(w))
            return w;
    }
    return nullptr;
}

// One step of a lane of the interleaved search: false, without moving, when the lane
// has run out of windows or its window matches.
inline bool Step(const Pattern& p, const Byte*& w, const Byte* stop)
{
    if (w >= stop || p.Matches(w))
        return false;
    w = p.Next(w);
    return true;
}

struct Lane {
    const Byte* w;     // next window start to test
    const Byte* stop;  // first window start past the lane's range
};

// After a lane stopped: records its match, gives every finished lane half of the
// largest range left below the best match. False when some lane is left idle
// because no range is large enough to share.
bool Rebalance(const Pattern& p, Lane (&lanes)[kLanes], const Byte*& best)
{
    for (Lane& lane : lanes) {
        if (lane.w < lane.stop && p.Matches(lane.w))
            best = std::min(best, lane.w);
    }
    for (Lane& lane : lanes)
        lane.stop = std::min(lane.stop, best);
    for (Lane& idle : lanes) {
        if (idle.w < idle.stop)
            continue;
        Lane* largest = &lanes[0];
        for (Lane& lane : lanes) {
            if (lane.stop - lane.w > largest->stop - largest->w)
                largest = &lane;
        }
        if (largest->stop - largest->w < 2 * kMinSplitWindows)
            return false;
        idle.stop = largest->stop;
        idle.w = largest->stop = largest->w + (largest->stop - largest->w) / 2;
    }
    return true;
}

// The same loop run on several parts of the range at once. One window's shift
// depends on the byte the previous shift landed on, so a single loop waits on two
// loads per window; independent lanes let the processor overlap those waits. The
// lanes share the window starts between them; the lowest match of all wins, and no
// lane searches above the best match found so far.
const Byte* SearchInterleaved(const Pattern& p, const Byte* begin, const Byte* end)
{
    Lane lanes[kLanes];
    const int64_t share = (end - begin) / kLanes;
    for (int k = 0; k < kLanes; ++k) {
        lanes[k].w = begin + k * share;
        lanes[k].stop = k + 1 < kLanes ? begin + (k + 1) * share : end;
    }
    const Byte* best = end;  // lowest match so far; end stands for none

    do {
        // The hot loop keeps the lanes in registers; it stops as soon as one lane
        // matches or runs out, the others having made their step.
        const Byte* w0 = lanes[0].w; const Byte* w1 = lanes[1].w;
        const Byte* w2 = lanes[2].w; const Byte* w3 = lanes[3].w;
        const Byte* const s0 = lanes[0].stop; const Byte* const s1 = lanes[1].stop;
        const Byte* const s2 = lanes[2].stop; const Byte* const s3 = lanes[3].stop;
        while (Step(p, w0, s0) & Step(p, w1, s1) & Step(p, w2, s2) & Step(p, w3, s3)) {
        }
        lanes[0].w = w0; lanes[1].w = w1; lanes[2].w = w2; lanes[3].w = w3;
    } while (Rebalance(p, lanes, best));

    // Too little is left to share: the lanes finish their ranges one by one.
    for (const Lane& lane : lanes) {
        if (lane.w < lane.stop) {
            const Byte* found = SearchWindows(p, lane.w, std::min(lane.stop, best));
            if (found)
                best = std::min(best, found);
        }
    }
    return best < end ? best : nullptr;
}

// The two rarest bytes of the pattern by the ranking of engine/byte_ranks.h: the
// vector search tests them first, until the data shows others to be rarer.
void ChooseRareBytes(Needle& needle)
{
    int32_t rare1 = 0;
    for (int32_t i = 1; i < needle.n; ++i) {
        if (kByteRank[needle.bytes[i]] < kByteRank[needle.bytes[rare1]])
            rare1 = i;
    }
    int32_t rare2 = rare1 == 0 ? needle.n - 1 : 0;
    for (int32_t i = 0; i < needle.n; ++i) {
        if (i != rare1 && kByteRank[needle.bytes[i]] < kByteRank[needle.bytes[rare2]])
            rare2 = i;
    }
    needle.rare1 = rare1;
    needle.rare2 = rare2;
}

// Without vector instructions the range is searched by the quick-search loop in
// stretches of kLoopStretch window starts. Where one compares more than kMostLoopWork
// bytes per window start, the next stretch is searched by two-way: kShortestStretch
// window starts at first, twice as many each time the loop is as slow again right
// after, up to kLongestStretch, and never fewer than the bytes the loop's stretch
// compared.
constexpr int64_t kLoopStretch = 16 << 10;
constexpr int64_t kMostLoopWork = 4;

bool Supported(MatcherPath path)
{
    switch (path) {
    case MatcherPath::Scalar:
        return true;
    case MatcherPath::Sse2:
        return BestMatcherPath() != MatcherPath::Scalar;
    case MatcherPath::Avx2:
        return BestMatcherPath() == MatcherPath::Avx2;
    }
    return false;
}

// Chosen once, as the program starts.
MatcherPath g_path = BestMatcherPath();

}  // namespace

MatcherPath BestMatcherPath()
{
#if defined(__i386__) || defined(__x86_64__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(d & bit_SSE2))
        return MatcherPath::Scalar;
    // AVX2 needs the processor's support and the system's consent to save the wide
    // registers on a thread switch (XCR0 bits 1 and 2, read with xgetbv).
    const bool avx = (c & bit_OSXSAVE) && (c & bit_AVX);
    unsigned b7 = 0;
    if (avx && __get_cpuid_count(7, 0, &a, &b7, &c, &d) && (b7 & bit_AVX2)) {
        unsigned lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        if ((lo & 6) == 6)
            return MatcherPath::Avx2;
    }
    return MatcherPath::Sse2;
#else
    return MatcherPath::Scalar;
#endif
}

bool UseMatcherPath(MatcherPath path)
{
    if (!Supported(path))
        return false;
    g_path = path;
    return true;
}

namespace find_pattern_detail {
namespace {

// The quick-search loop over the window starts [from, to) of data[0, len), to <= len - n
// + 1, adding to *work the bytes it compared: the lowest match, or -1 with *next set to
// where the search may go on.
int64_t QuickSearchStretch(const Byte* data, int64_t len, const Needle& needle, int64_t from, int64_t to,
                           int64_t* next, int64_t* work)
{
    const Pattern p{needle.bytes, needle.table, needle.n, needle.bytes[0], needle.bytes[needle.n - 1], work};
    const int64_t last = len - needle.n;
    // Windows before the last have a byte behind them to take the shift from.
    const int64_t end = std::min(to, last);
    if (from < end) {
        const Byte* found = end - from >= 2 * kLanes * kMinSplitWindows ? SearchInterleaved(p, data + from, data + end)
                                                                        : SearchWindows(p, data + from, data + end);
        if (found)
            return found - data;
    }
    if (to > last && p.Matches(data + last))
        return last;
    *next = std::max(from, to);
    return SEARCH_NOT_FOUND;
}

// The quick-search loop over the whole range, in stretches; a stretch where it compares
// too much is followed by one searched by two-way, so that no data costs it more than a
// few compares per byte.
int64_t LoopSearch(const Byte* data, int64_t len, const Needle& needle)
{
    const int64_t end = len - needle.n + 1;  // past the last window start
    int64_t s = 0;
    int64_t stretch = kShortestStretch;
    while (s < end) {
        int64_t work = 0;
        const int64_t from = s;
        int64_t found = QuickSearchStretch(data, len, needle, s, std::min(end, s + kLoopStretch), &s, &work);
        if (found >= 0 || s >= end)
            return found;
        if (work <= kMostLoopWork * (s - from)) {
            stretch = kShortestStretch;
            continue;
        }
        const int64_t twoWay = std::max(stretch, work);
        found = TwoWayStretch(data, len, needle, s, std::min(end, s + twoWay), &s);
        if (found >= 0)
            return found;
        stretch = std::min(2 * stretch, kLongestStretch);
    }
    return SEARCH_NOT_FOUND;
}

// Each counting loop below spreads its counts over several tables, added up after: in
// data made of one byte (zeros) each count would otherwise wait on the one before.

// How often each byte value occurs in data[lo, hi).
void CountBytes(const Byte* data, int64_t lo, int64_t hi, uint32_t (&count)[256])
{
    uint32_t counts[4][256] = {};
    int64_t i = lo;
    for (; i + 4 <= hi; i += 4) {
        ++counts[0][data[i]];
        ++counts[1][data[i + 1]];
        ++counts[2][data[i + 2]];
        ++counts[3][data[i + 3]];
    }
    for (; i < hi; ++i)
        ++counts[0][data[i]];
    for (int b = 0; b < 256; ++b)
        count[b] = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
}

// How often two bytes follow each other in data[lo, hi), for every pair at once. A slot
// holds several pairs, so a pair's count is at least how often it occurs, and none means
// it never does.
class PairCounts {
public:
    PairCounts(const Byte* data, int64_t lo, int64_t hi)
    {
        int64_t i = lo;
        for (; i + 2 < hi; i += 2) {
            ++m_slots[0][Slot(data[i], data[i + 1])];
            ++m_slots[1][Slot(data[i + 1], data[i + 2])];
        }
        if (i + 1 < hi)
            ++m_slots[0][Slot(data[i], data[i + 1])];
    }
    uint32_t Of(Byte a, Byte b) const
    {
        const int slot = Slot(a, b);
        return uint32_t{m_slots[0][slot]} + m_slots[1][slot];
    }

private:
    static constexpr int kSlots = 4096;
    static int Slot(Byte a, Byte b) { return (a << 4 ^ b) & (kSlots - 1); }

    uint16_t m_slots[2][kSlots] = {};
};

// The byte of the pattern that most often differs from the data where the needle's pair
// matches, in the last kThirdSamples windows of data[lo, hi) that hold the pair; the
// farthest from the pair where counts tie, -1 where no window holds it. Bytes of the
// same value are not alike here: in tables and code a byte's place in a record decides
// what it holds. Of a pattern longer than kThirdPlaces, that many places spread over it.
constexpr int32_t kThirdSamples = 256;
constexpr int32_t kThirdPlaces = 256;

int32_t ChooseThirdByData(const Needle& needle, const Byte* data, int64_t lo, int64_t hi)
{
    const Byte* const x = needle.bytes;
    const int32_t n = needle.n;
    const int32_t places = std::min(n, kThirdPlaces);
    const auto place = [n, places](int32_t k) {
        return places == n ? k : static_cast<int32_t>(int64_t(n - 1) * k / (places - 1));
    };
    uint16_t same[kThirdPlaces] = {};
    int32_t samples = 0;
    for (int64_t w = hi - n; w >= lo && samples < kThirdSamples; --w) {
        const Byte* const d = data + w;
        if (d[needle.rare1] != x[needle.rare1] || d[needle.rare2] != x[needle.rare2])
            continue;
        ++samples;
        for (int32_t k = 0; k < places; ++k)
            same[k] += d[place(k)] == x[place(k)];
    }
    if (samples == 0)
        return -1;
    const auto apart = [&needle](int32_t i) { return std::min(std::abs(i - needle.rare1), std::abs(i - needle.rare2)); };
    int32_t third = -1, fewest = 0;
    for (int32_t k = 0; k < places; ++k) {
        const int32_t i = place(k);
        if (i == needle.rare1 || i == needle.rare2)
            continue;
        if (third < 0 || same[k] < fewest || (same[k] == fewest && apart(i) > apart(third))) {
            third = i;
            fewest = same[k];
        }
    }
    return third;
}

}  // namespace

bool ChoosePairByData(Needle& needle, const Byte* data, int64_t len, int64_t s, bool third)
{
    const int64_t hi = std::min(len, s + needle.n);
    const int64_t lo = std::max<int64_t>(0, hi - kHistogramBytes);
    const int64_t adjacentLo = std::max(lo, hi - kAdjacentBytes);
    const uint64_t scale = kHistogramBytes / kAdjacentBytes;
    uint32_t count[256];
    CountBytes(data, lo, hi, count);
    const Byte* const x = needle.bytes;
    const int32_t n = needle.n;
    auto rarer = [&](int32_t a, int32_t b) {
        return count[x[a]] != count[x[b]] ? count[x[a]] < count[x[b]] : kByteRank[x[a]] < kByteRank[x[b]];
    };
    // The candidates a pair gives in the stretch: counted for two bytes next to each
    // other, whose pairing single counts cannot tell (text never holds two spaces in a
    // row); estimated from the single counts for two apart.
    const PairCounts pairs(data, adjacentLo, hi);
    auto expected = [&](int32_t a, int32_t b) -> uint64_t {
        if (b == a + 1 || a == b + 1) {
            const int32_t first = std::min(a, b);
            return scale * pairs.Of(x[first], x[first + 1]);
        }
        return uint64_t(count[x[a]]) * count[x[b]] / static_cast<uint64_t>(std::max<int64_t>(1, hi - lo));
    };

    // The rarest byte, and the rarest of another value where the pattern has one: two
    // equal bytes apart are as common as each alone.
    int32_t rare1 = 0;
    for (int32_t i = 1; i < n; ++i) {
        if (rarer(i, rare1))
            rare1 = i;
    }
    int32_t rare2 = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (x[i] != x[rare1] && (rare2 < 0 || rarer(i, rare2)))
            rare2 = i;
    }
    if (rare2 < 0)
        rare2 = rare1 + 1 < n ? rare1 + 1 : rare1 - 1;
    uint64_t best = expected(rare1, rare2);

    // Or the neighbours that follow each other least often.
    for (int32_t i = 0; i + 1 < n && best > 0; ++i) {
        const uint64_t e = expected(i, i + 1);
        if (e < best) {
            best = e;
            rare1 = i;
            rare2 = i + 1;
        }
    }
    const uint64_t held = expected(needle.rare1, needle.rare2);
    const bool changed = best < held;
    if (changed) {
        needle.rare1 = rare1;
        needle.rare2 = rare2;
        needle.rare3 = -1;
    }
    // A third byte also where the new pair is much rarer: in executables the stretch
    // that chose it often says little of the next, where the pair alone would give as
    // many candidates as the old.
    if (third)
        needle.rare3 = n >= 3 ? ChooseThirdByData(needle, data, lo, hi) : -1;
    return changed;
}

}  // namespace find_pattern_detail

int64_t FindPattern(const unsigned char* data, const unsigned char* pattern,
                    const int32_t* table, int64_t len, int32_t n)
{
    // An empty range holds nothing, not even the empty pattern.
    if (len <= 0)
        return SEARCH_NOT_FOUND;
    if (n <= 0)
        return 0;
    if (static_cast<int64_t>(n) > len)
        return SEARCH_NOT_FOUND;

    const int64_t last = len - n;  // highest window start that still fits
    if (last + 1 >= find_pattern_detail::kMostVectorBytes) {
        Needle needle{pattern, table, n, 0, 0, find_pattern_detail::PlanTwoWay(pattern, n)};
        if (g_path == MatcherPath::Scalar)
            return find_pattern_detail::LoopSearch(data, len, needle);
        ChooseRareBytes(needle);
        return g_path == MatcherPath::Avx2 ? find_pattern_detail::VectorSearchAvx2(data, len, needle)
                                           : find_pattern_detail::VectorSearchSse2(data, len, needle);
    }

    // A few dozen windows: the loop, whose work a range this short bounds.
    int64_t work = 0;
    const Pattern p{pattern, table, n, pattern[0], pattern[n - 1], &work};
    // Every window before the last has a byte behind it to take the shift from.
    const Byte* found = SearchWindows(p, data, data + last);
    if (found)
        return found - data;
    // The final window has no byte behind it: test it once, never shift past.
    return p.Matches(data + last) ? last : SEARCH_NOT_FOUND;
}
