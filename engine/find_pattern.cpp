#include "find_pattern.h"

#include <cstring>

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
    const unsigned char first = pattern[0];
    const size_t rest = static_cast<size_t>(n) - 1;
    int64_t s = 0;

    // While s < last the byte behind the window, data[s + n], lies inside data,
    // so the shift can be taken without a bounds check.
    while (s < last) {
        const unsigned char* w = data + s;
        // The first-byte test rejects most windows without a call.
        if (w[0] == first && std::memcmp(w + 1, pattern + 1, rest) == 0)
            return s;
        s += table[w[n]];
    }
    // The final window has no byte behind it: test it once, never shift past.
    if (s == last && data[s] == first && std::memcmp(data + s + 1, pattern + 1, rest) == 0)
        return s;
    return SEARCH_NOT_FOUND;
}
