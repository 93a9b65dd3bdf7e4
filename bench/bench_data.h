// Data and patterns for the search benchmarks: three kinds of content, each with a
// pattern that does not occur in it, so every search reads the whole buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class DataKind { Random, Text, MostlyZero };

const char* DataKindName(DataKind kind);

// size bytes of the kind, the same for the same seed on every platform.
std::vector<unsigned char> MakeBenchData(DataKind kind, size_t size, uint32_t seed = 1);

// A pattern of n bytes as someone might look for in such data: a slice of the data
// (for mostly-zero data, from its non-zero part) with its middle byte changed to one
// the data never holds, so it is absent but its near misses are realistic. For n == 1
// the pattern is that absent byte.
std::vector<unsigned char> MakeAbsentPattern(DataKind kind, const std::vector<unsigned char>& data,
                                             int32_t n, uint32_t seed = 7);
