// Quick-search (Sunday) matcher: first occurrence of a byte pattern in a byte range.
// Where the processor has vector instructions, ranges of more than a few dozen bytes
// are searched with them (engine/find_pattern_vector.h), with the same results.
// Pure byte routine: no Windows headers, builds natively for tests and benchmarks.
//
// The work is linear in the range on every input, whatever the pattern's bytes and the
// data's. With vector instructions each window start is tested on two of the pattern's
// bytes (three after frequent candidates, eight where no two are rare in the data); the
// candidates compared in full cost at most about one compared byte per window start, a
// candidate counting as 64, plus 64 Ki each time that budget runs out and the bytes
// tested change, which comes at most once per 64 Ki window starts; where it runs out
// again, two-way takes over, at most two compares per byte. Frequent candidates also
// have the data counted again for a rarer pair and a third byte, about 20 KiB and at
// most 256 windows of n bytes each time, after at least 256 of them (each costing 64 or
// more).
// The quick-search loop alone keeps a stretch of 16 Ki window starts only where it
// compared at most four bytes per window start, and follows one that compared more with
// two-way over at least as many window starts as it compared bytes. Ranges of fewer
// than 64 window starts are searched by the loop: at most 64 windows of n bytes.
#pragma once

#include <cstdint>

constexpr int64_t SEARCH_NOT_FOUND = -1;

// Shift for each byte value that lies just behind the search window.
extern int32_t g_shiftTable[256];

// Fills table: every entry n + 1, then entry pattern[j] = n - j for j = 0 .. n-1.
void BuildShiftTable(const unsigned char* pattern, int32_t n, int32_t* table = g_shiftTable);

// Lowest offset of pattern (n bytes) in data (len bytes), or SEARCH_NOT_FOUND.
// An empty pattern is found at 0, except in an empty range, which holds nothing.
// table must have been built for this pattern. Never reads outside data[0, len).
int64_t FindPattern(const unsigned char* data, const unsigned char* pattern,
                    const int32_t* table, int64_t len, int32_t n);

// The ways FindPattern can search: the quick-search loop alone, or with SSE2 or AVX2.
enum class MatcherPath { Scalar, Sse2, Avx2 };

// The fastest way this processor, and the system's saving of its registers, allow.
// FindPattern uses it from the start of the program.
MatcherPath BestMatcherPath();
// For tests and benchmarks: every later search takes path; false, changing nothing, when
// the processor lacks it.
bool UseMatcherPath(MatcherPath path);
