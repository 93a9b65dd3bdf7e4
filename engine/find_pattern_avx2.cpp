// The matcher's vector search for AVX2: compiled for it alone, and chosen at run time
// only where the processor has it and the system saves its registers
// (engine/find_pattern.cpp).
#include "engine/find_pattern_vector.h"

#include <immintrin.h>

namespace find_pattern_detail {
namespace {

struct Avx2 {
    static constexpr int kWidth = 32;
    using Reg = __m256i;
    static Reg Splat(Byte b) { return _mm256_set1_epi8(static_cast<char>(b)); }
    static Reg Load(const Byte* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static Reg Eq(Reg a, Reg b) { return _mm256_cmpeq_epi8(a, b); }
    static Reg And(Reg a, Reg b) { return _mm256_and_si256(a, b); }
    static Reg Or(Reg a, Reg b) { return _mm256_or_si256(a, b); }
    static uint32_t Mask(Reg a) { return static_cast<uint32_t>(_mm256_movemask_epi8(a)); }
};

}  // namespace

int64_t VectorSearchAvx2(const Byte* data, int64_t len, const Needle& needle)
{
    return VectorSearch<Avx2>(data, len, needle);
}

}  // namespace find_pattern_detail
