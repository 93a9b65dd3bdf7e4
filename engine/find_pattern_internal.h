// The parts of the matcher shared between its translation units: the quick-search loop
// (engine/find_pattern.cpp) and the vector searches compiled for each instruction set
// (engine/find_pattern_sse2.cpp, engine/find_pattern_avx2.cpp). Pure byte routines.
#pragma once

#include <cstdint>

namespace find_pattern_detail {

using Byte = unsigned char;

struct Needle {
    const Byte* bytes;
    const int32_t* table;  // the shift table built for it
    int32_t n;
    int32_t rare1, rare2;  // indices of its two rarest bytes; equal only when n is 1
};

// The quick-search loop over the window starts [from, to) of data[0, len), to <= len - n
// + 1: the lowest match, or -1 with *next set to where the search may go on (at least
// to: the windows it jumped over cannot match).
int64_t QuickSearchStretch(const Byte* data, int64_t len, const Needle& needle, int64_t from, int64_t to,
                           int64_t* next);

// The vector searches. They need at least kMostVectorBytes window starts; the answer is
// FindPattern's.
constexpr int64_t kMostVectorBytes = 64;
int64_t VectorSearchSse2(const Byte* data, int64_t len, const Needle& needle);
int64_t VectorSearchAvx2(const Byte* data, int64_t len, const Needle& needle);

}  // namespace find_pattern_detail
