// Data and patterns for the search benchmarks: kinds of text and of binaries, each with
// patterns that do not occur in it, so every search reads the whole buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class DataKind {
    Random, Text, MostlyZero,
    // Binaries whose bytes the pattern is made of: an erased flash image (FF with islands
    // of code), 1 MiB blocks of which three in five are zero and the rest random, a table
    // of ascending 32-bit values, UTF-16 text, and real executables (the file named by
    // BYTEWREN_BENCH_PE; empty without it); and 00 and FF at random, where no byte of a
    // pattern made of them, nor any pair, is rare.
    Flash, ZeroBlocks, Table32, Utf16, Executables, TwoValues,
};

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

// Where a near miss differs from the data around it.
enum class MissAt { Early, Middle, Late };

const char* MissAtName(MissAt at);

// A pattern of n bytes made of the bytes that fill the data: of 64 slices of it taken at
// random, the one whose bytes are most common in the data, with its byte at the place
// at (n / 6, n / 2 or n - 1) changed to the most common byte of the data that makes the
// pattern absent. Empty when no byte does.
std::vector<unsigned char> MakeNearMiss(const std::vector<unsigned char>& data, int32_t n, MissAt at,
                                        uint32_t seed = 11);
