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

// Where an absent pattern differs from the data: its middle byte (first and last bytes
// then are common ones), its last byte, or nowhere in particular: Spaces is n spaces,
// which text never holds twice in a row, so that nearly every window of text starts a
// candidate for a matcher that keys on the pattern's bytes (a pattern of common bytes).
enum class PatternShape { Middle, Last, Spaces };

const char* PatternShapeName(PatternShape shape);

// A pattern of n bytes as someone might look for in such data: a slice of the data
// (for mostly-zero data, from its non-zero part) with one byte, where shape says,
// changed to one the data never holds, so it is absent but its near misses are
// realistic. For n == 1 the pattern is that absent byte.
std::vector<unsigned char> MakeAbsentPattern(DataKind kind, const std::vector<unsigned char>& data,
                                             int32_t n, uint32_t seed = 7,
                                             PatternShape shape = PatternShape::Middle);
