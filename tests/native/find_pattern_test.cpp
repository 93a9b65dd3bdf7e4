#include "engine/find_pattern.h"
#include "engine/find_pattern_internal.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes B(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// Searches with both operands in heap blocks of exactly their size, so ASan
// reports any read before or past either of them.
int64_t Find(const Bytes& data, const Bytes& pattern)
{
    auto* d = new unsigned char[data.size()];
    auto* p = new unsigned char[pattern.size()];
    std::copy(data.begin(), data.end(), d);
    std::copy(pattern.begin(), pattern.end(), p);
    int32_t table[256];
    BuildShiftTable(p, static_cast<int32_t>(pattern.size()), table);
    const int64_t r = FindPattern(d, p, table, static_cast<int64_t>(data.size()),
                                  static_cast<int32_t>(pattern.size()));
    delete[] d;
    delete[] p;
    return r;
}

int64_t Find(const std::string& data, const std::string& pattern)
{
    return Find(B(data), B(pattern));
}

// Plain window-by-window search, the meaning the fast matcher has to reproduce.
int64_t ReferenceFind(const Bytes& data, const Bytes& pattern)
{
    if (data.empty())
        return SEARCH_NOT_FOUND;
    for (size_t s = 0; s + pattern.size() <= data.size(); ++s) {
        if (std::equal(pattern.begin(), pattern.end(), data.begin() + s))
            return static_cast<int64_t>(s);
    }
    return SEARCH_NOT_FOUND;
}

TEST(ShiftTable, AbsentBytesShiftPastTheWholeWindow)
{
    const Bytes p = B("abc");
    int32_t table[256];
    BuildShiftTable(p.data(), 3, table);
    for (int c = 0; c < 256; ++c) {
        if (c < 'a' || c > 'c') {
            EXPECT_EQ(table[c], 4) << "byte " << c;
        }
    }
    EXPECT_EQ(table['a'], 3);
    EXPECT_EQ(table['b'], 2);
    EXPECT_EQ(table['c'], 1);
}

TEST(ShiftTable, RepeatedByteKeepsItsLastOccurrence)
{
    const Bytes p = {0xFF, 0x00, 0xFF, 0x80, 0x00};
    int32_t table[256];
    BuildShiftTable(p.data(), 5, table);
    EXPECT_EQ(table[0xFF], 3);  // indices 0 and 2: index 2 wins
    EXPECT_EQ(table[0x00], 1);  // indices 1 and 4: index 4 wins
    EXPECT_EQ(table[0x80], 2);
    EXPECT_EQ(table[0x7F], 6);
}

TEST(ShiftTable, EmptyPatternShiftsByOne)
{
    int32_t table[256];
    table[7] = 99;
    BuildShiftTable(nullptr, 0, table);
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(table[c], 1);
}

TEST(FindPattern, MatchesAtTheRightOffset)
{
    EXPECT_EQ(Find("AAAB", "AAB"), 1);  // a partial match must not hide the real one
    EXPECT_EQ(Find("xxAB", "AB"), 2);   // match ends at the last byte
    EXPECT_EQ(Find("ABxx", "AB"), 0);
    EXPECT_EQ(Find("AB", "AB"), 0);     // pattern fills the whole range
    EXPECT_EQ(Find("xyz", "z"), 2);
}

TEST(FindPattern, ReturnsTheLowestOfSeveralOccurrences)
{
    EXPECT_EQ(Find("--ab--ab--ab", "ab"), 2);
    EXPECT_EQ(Find("aaaaaa", "aaa"), 0);
    EXPECT_EQ(Find("xabababa", "abab"), 1);  // overlapping occurrences
}

TEST(FindPattern, NotFound)
{
    EXPECT_EQ(Find("xxA", "AB"), SEARCH_NOT_FOUND);  // prefix cut off by the end
    EXPECT_EQ(Find("AB", "ABC"), SEARCH_NOT_FOUND);  // pattern longer than data
    EXPECT_EQ(Find("", "A"), SEARCH_NOT_FOUND);
    EXPECT_EQ(Find("abcdefgh", "abd"), SEARCH_NOT_FOUND);
}

TEST(FindPattern, EmptyPatternMatchesAtStartOfNonEmptyDataOnly)
{
    EXPECT_EQ(Find("abc", ""), 0);
    EXPECT_EQ(Find("", ""), SEARCH_NOT_FOUND);
}

TEST(FindPattern, TreatsAllByteValuesAlike)
{
    EXPECT_EQ(Find(Bytes{0x00, 0x00, 0x01, 0x00}, Bytes{0x01, 0x00}), 2);
    EXPECT_EQ(Find(Bytes{0x7F, 0x80, 0xFF, 0xFE, 0x80, 0xFF}, Bytes{0x80, 0xFF}), 1);
    EXPECT_EQ(Find(Bytes{0xFF, 0xFF, 0xFE}, Bytes{0xFF, 0xFE}), 1);
    EXPECT_EQ(Find(Bytes{0x80, 0x81, 0x82}, Bytes{0x81, 0x83}), SEARCH_NOT_FOUND);
    // A high byte just behind the window must index the table unsigned.
    EXPECT_EQ(Find(Bytes{'a', 'b', 0xC8, 'x', 'a', 'c'}, Bytes{'a', 'c'}), 4);
}

TEST(FindPattern, DefaultGlobalTable)
{
    const Bytes data = B("the quick brown fox");
    const Bytes pattern = B("brown");
    BuildShiftTable(pattern.data(), 5);
    EXPECT_EQ(FindPattern(data.data(), pattern.data(), g_shiftTable,
                          static_cast<int64_t>(data.size()), 5),
              10);
}

// Every way of searching the processor allows: the quick-search loop alone, and with
// each set of vector instructions. A way the processor lacks is skipped, and says so.
class EveryPath : public ::testing::TestWithParam<MatcherPath> {
protected:
    void SetUp() override
    {
        if (!UseMatcherPath(GetParam()))
            GTEST_SKIP() << "this processor cannot take that path";
    }
    void TearDown() override { UseMatcherPath(BestMatcherPath()); }
};

INSTANTIATE_TEST_SUITE_P(FindPattern, EveryPath,
                         ::testing::Values(MatcherPath::Scalar, MatcherPath::Sse2, MatcherPath::Avx2),
                         [](const ::testing::TestParamInfo<MatcherPath>& info) {
                             return info.param == MatcherPath::Scalar ? "Scalar"
                                    : info.param == MatcherPath::Sse2 ? "Sse2" : "Avx2";
                         });

// Random data and patterns against the reference search. Small alphabets make
// matches and near-misses frequent; patterns cut from the data guarantee hits
// with the full alphabet as well.
TEST_P(EveryPath, AgreesWithReferenceSearch)
{
    const int alphabetSizes[] = {1, 2, 3, 4, 256};
    const unsigned seeds[] = {1u, 2u, 3u, 20240611u};
    for (unsigned seed : seeds) {
        std::mt19937 rng(seed);
        for (int alphabetSize : alphabetSizes) {
            // Symbols drawn from the whole byte range, so 0x00 and high bytes occur.
            std::vector<unsigned char> alphabet(256);
            for (int i = 0; i < 256; ++i)
                alphabet[i] = static_cast<unsigned char>(i);
            std::shuffle(alphabet.begin(), alphabet.end(), rng);
            alphabet.resize(static_cast<size_t>(alphabetSize));
            std::uniform_int_distribution<size_t> symbol(0, alphabet.size() - 1);

            for (int round = 0; round < 400; ++round) {
                const size_t n = std::uniform_int_distribution<size_t>(0, 86)(rng);
                const size_t maxLen = round % 4 == 0 ? 6000 : 200;
                const size_t len = std::uniform_int_distribution<size_t>(0, maxLen)(rng);

                Bytes data(len);
                for (auto& b : data)
                    b = alphabet[symbol(rng)];
                Bytes pattern(n);
                if (round % 3 == 0 && n <= len) {
                    const size_t at = std::uniform_int_distribution<size_t>(0, len - n)(rng);
                    std::copy(data.begin() + at, data.begin() + at + n, pattern.begin());
                    // Sometimes spoil one byte to get a near miss.
                    if (n > 0 && round % 2 == 0)
                        pattern[std::uniform_int_distribution<size_t>(0, n - 1)(rng)] =
                            alphabet[symbol(rng)];
                } else {
                    for (auto& b : pattern)
                        b = alphabet[symbol(rng)];
                }

                ASSERT_EQ(Find(data, pattern), ReferenceFind(data, pattern))
                    << "seed " << seed << ", alphabet " << alphabetSize << ", round "
                    << round << ", len " << len << ", n " << n;
            }
        }
    }
}

// Ranges around the vector widths, where the vector search starts and where its last
// vector overlaps the one before: the pattern at the first and the last possible offset
// and nowhere, over filler of its own bytes, so that nearly every window is a candidate
// that fails only at its last byte. High bytes and zeros throughout.
TEST_P(EveryPath, ShortRangesAroundTheVectorWidths)
{
    for (size_t n = 1; n <= 86; n += n < 8 ? 1 : 13) {
        Bytes pattern(n, 0x80);
        pattern[n - 1] = 0xFF;
        if (n > 2)
            pattern[n / 2] = 0x00;
        for (size_t len = 0; len <= 70 + n; ++len) {
            // Filler: the pattern but for its last byte, over and over.
            Bytes base(len);
            for (size_t i = 0; i < len; ++i)
                base[i] = i % n == n - 1 ? 0xFE : pattern[i % n];
            ASSERT_EQ(Find(base, pattern), ReferenceFind(base, pattern)) << "len " << len << ", n " << n;
            if (len < n)
                continue;
            for (size_t at : {size_t(0), len - n}) {
                Bytes data = base;
                std::copy(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
                ASSERT_EQ(Find(data, pattern), ReferenceFind(data, pattern)) << "len " << len << ", n " << n;
            }
        }
    }
}

// The range's last byte is the last of a page and the next page cannot be read: a read
// past the range ends the test. The sanitizers see heap blocks only; this sees all.
TEST_P(EveryPath, NeverReadsPastTheEndOfTheRange)
{
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    auto* pages = static_cast<unsigned char*>(
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(::mprotect(pages + page, page, PROT_NONE), 0);
    std::memset(pages, 'a', page);
    for (size_t n : {1u, 2u, 3u, 17u, 86u}) {
        Bytes pattern(n, 'a');
        pattern[n / 2] = 'b';
        int32_t table[256];
        BuildShiftTable(pattern.data(), static_cast<int32_t>(n), table);
        for (size_t len = 1; len <= 300; ++len) {
            unsigned char* data = pages + page - len;
            EXPECT_EQ(FindPattern(data, pattern.data(), table, static_cast<int64_t>(len), static_cast<int32_t>(n)),
                      SEARCH_NOT_FOUND);
            if (len >= n) {
                data[len - n + n / 2] = 'b';  // in the last window
                EXPECT_EQ(FindPattern(data, pattern.data(), table, static_cast<int64_t>(len), static_cast<int32_t>(n)),
                          static_cast<int64_t>(len - n));
                data[len - n + n / 2] = 'a';
            }
        }
    }
    ::munmap(pages, 2 * page);
}

// Long ranges of a small alphabet and of all bytes, with patterns cut from them at
// random places: occurrences and near misses everywhere, in every lane of the loop;
// ranges where the loop's long shifts make it the faster way, and ranges where they
// do not.
TEST_P(EveryPath, LongRangesAgreeWithReferenceSearch)
{
    std::mt19937 rng(77);
    for (int round = 0; round < 60; ++round) {
        const size_t len = std::uniform_int_distribution<size_t>(60000, 400000)(rng);
        const size_t n = std::uniform_int_distribution<size_t>(1, 86)(rng);
        const int alphabet = round % 3 == 0 ? 2 : 256;
        std::uniform_int_distribution<int> symbol(0, alphabet - 1);
        Bytes data(len);
        for (auto& b : data)
            b = static_cast<unsigned char>(symbol(rng));
        const size_t at = std::uniform_int_distribution<size_t>(len / 4, len - n)(rng);
        Bytes pattern(data.begin() + static_cast<std::ptrdiff_t>(at),
                      data.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (round % 2 == 0)
            pattern[std::uniform_int_distribution<size_t>(0, n - 1)(rng)] ^= 1;
        ASSERT_EQ(Find(data, pattern), ReferenceFind(data, pattern))
            << "round " << round << ", len " << len << ", n " << n;
    }
}

// Long ranges whose bytes are the pattern's own, as in binaries: erased flash (FF) with
// islands, zero blocks between random ones, zeros with bursts of near misses, and
// UTF-16 text, records of zeros; the budget of candidates runs out or they come too
// often, the pair is chosen again from the data, a third byte is tested with it, and
// two-way takes stretches. The range lies between two pages that cannot be read, and
// the occurrence is planted before, in and after the stretches where the search
// changes its way.
TEST_P(EveryPath, RangesMadeOfThePatternsOwnBytes)
{
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t len = size_t(3) << 19;  // 1.5 MiB
    const size_t span = (len + page - 1) / page * page;
    auto* pages = static_cast<unsigned char*>(
        ::mmap(nullptr, span + 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(::mprotect(pages, page, PROT_NONE), 0);
    ASSERT_EQ(::mprotect(pages + page + span, page, PROT_NONE), 0);
    unsigned char* const data = pages + page + span - len;  // ends at the guard page

    std::mt19937 rng(5);
    enum Shape { Flash, ZeroBlocks, Bursts, Utf16, Records };
    for (Shape shape : {Flash, ZeroBlocks, Bursts, Utf16, Records}) {
        for (size_t n : {2u, 6u, 16u, 47u, 86u, 300u}) {
            const unsigned char fill = shape == Flash ? 0xFF : 0x00;
            Bytes pattern(n, fill);
            pattern[n / 2] = shape == Flash ? 0x00 : 0x41;
            std::memset(data, fill, len);
            if (shape == Utf16) {
                // Text of a few letters, each followed by 00; the pattern a slice of it
                // with one letter made 00, so that two 00 follow each other where the
                // text never has them. Candidates of the ranking's pair are frequent,
                // but the budget affords them: the pair is reviewed mid-range.
                for (size_t i = 0; i + 1 < len; i += 2) {
                    data[i] = static_cast<unsigned char>("etaoin s"[rng() % 8]);
                    data[i + 1] = 0x00;
                }
                std::memcpy(pattern.data(), data + 4096, n);
                pattern[(n / 2) & ~size_t(1)] = 0x00;
            } else if (shape == Records) {
                // Records of 32 bytes, 04 then zeros but for a random byte at +4: every
                // pair is as common as the record, and a review adds a third byte,
                // the one at +4; the occurrences planted below break records up.
                for (size_t at = 0; at + 4 < len; at += 32)
                    data[at] = 0x04, data[at + 4] = static_cast<unsigned char>(1 + rng() % 255);
                pattern[n / 2] = 0x04;
            } else if (shape == ZeroBlocks) {
                for (size_t at = 0; at < len; at += 5 << 16) {  // every fifth 64 KiB random
                    for (size_t i = at; i < std::min(len, at + (1 << 16)); ++i)
                        data[i] = static_cast<unsigned char>(rng());
                }
            } else {
                // Islands (flash) or bursts of 49 near misses (zeros) every 68 KiB.
                for (size_t at = 4096; at + 49 * (n + 1) < len; at += 68 << 10) {
                    for (size_t k = 0; k < 49; ++k) {
                        unsigned char* w = data + at + k * (n + 1);
                        std::memcpy(w, pattern.data(), n);
                        w[k % n == n / 2 ? 0 : k % n] ^= 0x10;
                    }
                }
            }
            int32_t table[256];
            BuildShiftTable(pattern.data(), static_cast<int32_t>(n), table);
            auto expect = [&](const char* what) {
                const void* hit = ::memmem(data, len, pattern.data(), n);
                const int64_t want = hit ? static_cast<const unsigned char*>(hit) - data : SEARCH_NOT_FOUND;
                ASSERT_EQ(FindPattern(data, pattern.data(), table, static_cast<int64_t>(len), static_cast<int32_t>(n)),
                          want)
                    << "shape " << shape << ", n " << n << ", " << what;
            };
            expect("nowhere planted");
            for (size_t at : {size_t(1000), size_t(70000), size_t(300001), size_t(1 << 20) + 7, len - n - 1, len - n}) {
                Bytes saved(data + at, data + at + n);
                std::memcpy(data + at, pattern.data(), n);
                expect(("at " + std::to_string(at)).c_str());
                std::memcpy(data + at, saved.data(), n);
            }
        }
    }
    ::munmap(pages, span + 2 * page);
}

// Two-way on its own, over whole ranges and stretches of them: the lowest occurrence in
// the stretch, or where to go on, with no occurrence skipped. Small alphabets make
// periodic patterns and long partial matches common.
TEST(TwoWay, AgreesWithReferenceSearchOverStretches)
{
    using namespace find_pattern_detail;
    std::mt19937 rng(31);
    for (int round = 0; round < 20000; ++round) {
        const int alphabet = 1 + round % 3;
        std::uniform_int_distribution<int> symbol(0, alphabet - 1);
        const size_t n = std::uniform_int_distribution<size_t>(1, round % 10 == 0 ? 40 : 9)(rng);
        const size_t len = std::uniform_int_distribution<size_t>(n, 300)(rng);
        Bytes data(len), pattern(n);
        for (auto& b : data)
            b = static_cast<unsigned char>(0xFE + symbol(rng));  // FE FF and 00 (wrapped)
        for (auto& b : pattern)
            b = static_cast<unsigned char>(0xFE + symbol(rng));
        int32_t table[256];
        BuildShiftTable(pattern.data(), static_cast<int32_t>(n), table);
        const Needle needle{pattern.data(), table, static_cast<int32_t>(n), 0, 0,
                            PlanTwoWay(pattern.data(), static_cast<int32_t>(n))};
        const int64_t end = static_cast<int64_t>(len - n + 1);
        const int64_t from = std::uniform_int_distribution<int64_t>(0, end - 1)(rng);
        const int64_t to = std::uniform_int_distribution<int64_t>(from + 1, end)(rng);
        int64_t want = SEARCH_NOT_FOUND;
        for (int64_t s = from; s < to && want < 0; ++s) {
            if (std::equal(pattern.begin(), pattern.end(), data.begin() + s))
                want = s;
        }
        int64_t next = -1;
        const int64_t got = TwoWayStretch(data.data(), static_cast<int64_t>(len), needle, from, to, &next);
        ASSERT_EQ(got, want) << "round " << round << ", n " << n << ", len " << len << ", [" << from << ", " << to
                             << ")";
        if (got < 0) {
            ASSERT_GE(next, to) << "round " << round;
            // Nothing skipped between the stretch's end and where the search goes on.
            for (int64_t s = to; s < std::min(next, end); ++s)
                ASSERT_FALSE(std::equal(pattern.begin(), pattern.end(), data.begin() + s)) << "round " << round;
        }
    }
}

// The pair is chosen again from the data: the byte of the pattern the data lacks, then
// another value; none rarer, nothing changed.
TEST(ChoosePairByData, TakesThePatternsBytesTheDataLacks)
{
    using namespace find_pattern_detail;
    Bytes pattern(86, 0xFF);
    pattern[40] = 0x00;
    Bytes data(100000, 0xFF);
    int32_t table[256];
    BuildShiftTable(pattern.data(), 86, table);
    Needle needle{pattern.data(), table, 86, 0, 85, {}};  // what the fixed ranking picks
    ASSERT_TRUE(ChoosePairByData(needle, data.data(), static_cast<int64_t>(data.size()), 50000, true));
    EXPECT_EQ(needle.rare1, 40);
    EXPECT_NE(pattern[static_cast<size_t>(needle.rare2)], 0x00);
    EXPECT_EQ(needle.rare3, -1) << "no window holds a pair the data lacks: nothing to thin";
    EXPECT_FALSE(ChoosePairByData(needle, data.data(), static_cast<int64_t>(data.size()), 90000));

    // UTF-16 text never has two 00 in a row: of all the pattern's neighbours, the pair
    // that holds them, wherever it lies in the pattern.
    Bytes text;
    for (int i = 0; i < 20000; ++i)
        text.insert(text.end(), {static_cast<unsigned char>(" etaoinshrdlu"[i * 7 % 13]), 0x00});
    const char* words = "the shore ahead";
    Bytes utf16;
    for (const char* c = words; *c; ++c)
        utf16.insert(utf16.end(), {static_cast<unsigned char>(*c), 0x00});
    utf16[24] = 0x00;  // the 'e' of "ahead"
    BuildShiftTable(utf16.data(), static_cast<int32_t>(utf16.size()), table);
    Needle words16{utf16.data(), table, static_cast<int32_t>(utf16.size()), 0, 2, {}};
    ASSERT_TRUE(ChoosePairByData(words16, text.data(), static_cast<int64_t>(text.size()), 30000));
    EXPECT_EQ(words16.rare1, 23);
    EXPECT_EQ(words16.rare2, 24);

    // Records of 32 bytes, as in tables and code: 04, then zeros but for two bytes at
    // +4 and +5. Every pair of a pattern of zeros with one 04 is as common as the
    // record; the third byte is one the record always differs in where the pair
    // matches, the farthest of them from the pair (not merely a 00 far away).
    Bytes records(1 << 16, 0x00);
    for (size_t at = 0; at < records.size(); at += 32)
        records[at] = 0x04, records[at + 4] = 0x33, records[at + 5] = static_cast<unsigned char>(0x40 + at / 32 % 64);
    Bytes zeros(86, 0x00);
    zeros[14] = 0x04;
    BuildShiftTable(zeros.data(), 86, table);
    Needle record{zeros.data(), table, 86, 14, 20, {}};
    ChoosePairByData(record, records.data(), static_cast<int64_t>(records.size()), 40000, true);
    ASSERT_TRUE(record.rare1 == 14 || record.rare2 == 14) << "the 04";
    EXPECT_EQ(record.rare3, 83) << "14 + 2 * 32 + 5, where the record's own byte lies";
}

// Without vector instructions, ranges of a few hundred KiB and more are searched by
// several interleaved lanes, each starting on its own part of the range; a lane that
// finishes early takes over half of what another has left. Whatever lane finds an
// occurrence first, the lowest one must be reported.
class LongRange : public ::testing::Test {
protected:
    // The lanes are the quick-search loop's, which the vector search leaves alone.
    void SetUp() override { UseMatcherPath(MatcherPath::Scalar); }
    void TearDown() override { UseMatcherPath(BestMatcherPath()); }

    static constexpr size_t kLen = 1 << 20;
    static constexpr size_t kLanes = 4;

    // Random bytes that never hold 0xEE, so planted patterns containing it occur
    // only where planted.
    Bytes Noise(size_t len, unsigned seed)
    {
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> byte(0, 0xED);
        Bytes data(len);
        for (auto& b : data)
            b = static_cast<unsigned char>(byte(rng));
        return data;
    }
    static Bytes Marker(size_t n)
    {
        Bytes p(n);
        for (size_t i = 0; i < n; ++i)
            p[i] = static_cast<unsigned char>(i * 37 + 1);
        p[n / 2] = 0xEE;
        return p;
    }
    static void Plant(Bytes& data, const Bytes& pattern, size_t at)
    {
        std::copy(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    }
    // Window starts where the first split of the range puts a lane boundary.
    static size_t Boundary(size_t len, size_t n, size_t k) { return (len - n) / kLanes * k; }
};

TEST_F(LongRange, OccurrenceAtEveryLaneBoundaryIsFound)
{
    for (size_t n : {1u, 2u, 5u, 86u}) {
        const Bytes pattern = Marker(n);
        for (size_t k = 1; k < kLanes; ++k) {
            // Just before, on and just after the boundary, and straddling it.
            for (long d : {-static_cast<long>(n) - 1, -1L, 0L, 1L}) {
                Bytes data = Noise(kLen, static_cast<unsigned>(k));
                const size_t at = Boundary(kLen, n, k) + static_cast<size_t>(d);
                Plant(data, pattern, at);
                ASSERT_EQ(Find(data, pattern), static_cast<int64_t>(at)) << "n " << n << ", lane " << k << ", d " << d;
            }
        }
    }
}

TEST_F(LongRange, FirstAndLastWindowsAndAbsence)
{
    for (size_t n : {1u, 3u, 86u}) {
        const Bytes pattern = Marker(n);
        Bytes data = Noise(kLen, 9);
        EXPECT_EQ(Find(data, pattern), SEARCH_NOT_FOUND) << "n " << n;
        Plant(data, pattern, kLen - n);  // the final window, which has no byte behind it
        EXPECT_EQ(Find(data, pattern), static_cast<int64_t>(kLen - n)) << "n " << n;
        Plant(data, pattern, kLen - n - 1);  // the last window that has one
        EXPECT_EQ(Find(data, pattern), static_cast<int64_t>(kLen - n - 1)) << "n " << n;
        Plant(data, pattern, 0);
        EXPECT_EQ(Find(data, pattern), 0) << "n " << n;
    }
}

TEST_F(LongRange, LowestOccurrenceWinsWhicheverLaneFindsOneFirst)
{
    const Bytes pattern = Marker(8);
    Bytes data = Noise(kLen, 3);
    // The last lane meets its occurrence at once; the first lane's lies at the end
    // of its part and is met last, but it is the lower one.
    const size_t low = Boundary(kLen, 8, 1) - 20;
    Plant(data, pattern, Boundary(kLen, 8, 3) + 2);
    Plant(data, pattern, Boundary(kLen, 8, 2) + 5);
    Plant(data, pattern, low);
    EXPECT_EQ(Find(data, pattern), static_cast<int64_t>(low));
}

TEST_F(LongRange, LanesThatFinishEarlyTakeOverTheRestOfASlowOne)
{
    // Zeros make a pattern ending in 0x00 0x01 shift by 2 at most, a hundred times
    // less than in the noise, so the first lane lags far behind the others, which
    // take over parts of its range; occurrences planted there must still be found.
    Bytes pattern = Marker(86);
    pattern[84] = 0x00;
    pattern[85] = 0x01;
    const size_t slowEnd = Boundary(kLen, 86, 1);
    for (double where : {0.3, 0.55, 0.8, 0.97}) {
        Bytes data = Noise(kLen, 5);
        std::fill(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(slowEnd), 0);
        const size_t at = static_cast<size_t>(where * static_cast<double>(slowEnd));
        Plant(data, pattern, at);
        Plant(data, pattern, Boundary(kLen, 86, 3) + 100);
        EXPECT_EQ(Find(data, pattern), static_cast<int64_t>(at)) << "at " << at;
    }
}

// Every place an occurrence can take in ranges a little longer than the lanes start
// at, alone and paired with a second one the same distance into a later part of
// the range, over filler the pattern lacks (every lane moves in step) and over noise.
TEST_F(LongRange, OccurrenceAnywhereIsFound)
{
    for (size_t len : {700u, 2100u}) {
        for (size_t n : {1u, 2u, 7u, 86u}) {
            const Bytes pattern = Marker(n);
            for (int filler = 0; filler < 2; ++filler) {
                const Bytes base = filler ? Noise(len, static_cast<unsigned>(len + n)) : Bytes(len, 0x55);
                const size_t last = len - n;
                for (size_t at = 0; at <= last; ++at) {
                    Bytes data = base;
                    Plant(data, pattern, at);
                    ASSERT_EQ(Find(data, pattern), static_cast<int64_t>(at))
                        << "len " << len << ", n " << n << ", filler " << filler;
                    const size_t twin = at + 2 * Boundary(len, n, 1);
                    if (twin + n <= len && twin >= at + n) {
                        Plant(data, pattern, twin);
                        ASSERT_EQ(Find(data, pattern), static_cast<int64_t>(at))
                            << "len " << len << ", n " << n << ", filler " << filler << ", twin " << twin;
                    }
                }
            }
        }
    }
}

}  // namespace
