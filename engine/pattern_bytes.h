// Pattern bytes held by value: the bytes decoded from a HEX view and their count. A
// search, the check made before a write and the write run with the bytes they were
// given, whatever later happens to the buffer those came from (the dialog's shared
// buffers are refilled by any edit of a view, also one that another program sends while
// a search pumps messages).
#pragma once

#include <cstdint>
#include <cstring>

// A field read of 259 characters holds at most 129 pairs of hex digits.
constexpr int32_t kMostPatternBytes = 129;

struct PatternBytes {
    unsigned char bytes[kMostPatternBytes] = {};
    int32_t n = 0;

    PatternBytes() = default;
    PatternBytes(const void* pattern, int32_t count) { Assign(pattern, count); }

    void Assign(const void* pattern, int32_t count)
    {
        n = count < 0 ? 0 : count > kMostPatternBytes ? kMostPatternBytes : count;
        if (n > 0)
            std::memcpy(bytes, pattern, static_cast<size_t>(n));
    }
    bool operator==(const PatternBytes& other) const
    {
        return n == other.n && std::memcmp(bytes, other.bytes, static_cast<size_t>(n)) == 0;
    }
    bool operator!=(const PatternBytes& other) const { return !(*this == other); }
};
