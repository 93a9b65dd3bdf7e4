// The matcher's vector search for SSE2: compiled for it alone, and chosen at run time
// only where the processor has it (engine/find_pattern.cpp).
#include "engine/find_pattern_vector.h"

#include <emmintrin.h>

namespace find_pattern_detail {
namespace {

struct Sse2 {
    static constexpr int kWidth = 16;
    using Reg = __m128i;
    static Reg Splat(Byte b) { return _mm_set1_epi8(static_cast<char>(b)); }
    static Reg Load(const Byte* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static Reg Eq(Reg a, Reg b) { return _mm_cmpeq_epi8(a, b); }
    static Reg And(Reg a, Reg b) { return _mm_and_si128(a, b); }
    static Reg Or(Reg a, Reg b) { return _mm_or_si128(a, b); }
    static uint32_t Mask(Reg a) { return static_cast<uint32_t>(_mm_movemask_epi8(a)); }
};

}  // namespace

int64_t VectorSearchSse2(const Byte* data, int64_t len, const Needle& needle)
{
    return VectorSearch<Sse2>(data, len, needle);
}

}  // namespace find_pattern_detail
