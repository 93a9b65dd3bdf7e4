// Quick-search (Sunday) matcher: first occurrence of a byte pattern in a byte range.
// Pure byte routine: no Windows headers, builds natively for tests and benchmarks.
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
