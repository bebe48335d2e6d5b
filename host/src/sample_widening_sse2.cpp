// Sample widening on SSE2, four samples at a time: the unit scale by a
// division, half by its bit fields (normal, zero or subnormal, infinity or
// NaN).
#include "sample_widening.h"
#include "sample_widening_tail.h"

#include <emmintrin.h>

namespace host_simd {
namespace {

constexpr size_t kLanes = 4;

void StoreUnit(__m128i values, float maximum, float* out) {
    _mm_storeu_ps(out, _mm_div_ps(_mm_cvtepi32_ps(values), _mm_set1_ps(maximum)));
}

void UInt8(const uint8_t* in, size_t count, float* out) {
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        int32_t four;
        __builtin_memcpy(&four, in + i, sizeof four);
        const __m128i bytes = _mm_cvtsi32_si128(four);
        StoreUnit(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero), 255.0f, out + i);
    }
    WidenUnitTail(in, i, count, 255.0f, out);
}

void UInt16(const uint16_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m128i values = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
        StoreUnit(_mm_unpacklo_epi16(values, _mm_setzero_si128()), 65535.0f, out + i);
    }
    WidenUnitTail(in, i, count, 65535.0f, out);
}

// Where `mask` is set `ifSet`, elsewhere `otherwise`.
__m128i Select(__m128i mask, __m128i ifSet, __m128i otherwise) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, otherwise));
}

void Half(const uint16_t* in, size_t count, float* out) {
    const __m128i exponentBits = _mm_set1_epi32(0x7C00);
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m128i half = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i)),
                                                _mm_setzero_si128());
        const __m128i sign = _mm_slli_epi32(_mm_and_si128(half, _mm_set1_epi32(0x8000)), 16);
        const __m128i mantissa = _mm_and_si128(half, _mm_set1_epi32(0x3FF));
        const __m128i exponent = _mm_and_si128(half, exponentBits);
        // Normal: rebias the exponent from 15 to 127.
        const __m128i normal =
            _mm_add_epi32(_mm_slli_epi32(_mm_and_si128(half, _mm_set1_epi32(0x7FFF)), 13), _mm_set1_epi32(112 << 23));
        // Zero or subnormal: the mantissa times 2^-24, exactly.
        const __m128i small =
            _mm_castps_si128(_mm_mul_ps(_mm_cvtepi32_ps(mantissa), _mm_set1_ps(1.0f / 16777216.0f)));
        // Infinity or NaN, the payload kept.
        const __m128i special = _mm_or_si128(_mm_set1_epi32(0x7F800000), _mm_slli_epi32(mantissa, 13));
        __m128i bits = Select(_mm_cmpeq_epi32(exponent, _mm_setzero_si128()), small, normal);
        bits = Select(_mm_cmpeq_epi32(exponent, exponentBits), special, bits);
        _mm_storeu_ps(out + i, _mm_castsi128_ps(_mm_or_si128(sign, bits)));
    }
    WidenHalfTail(in, i, count, out);
}

}  // namespace

const Widening kWideningSse2 = {&UInt8, &UInt16, &Half};

}  // namespace host_simd
