// Sample widening on AVX-512F, sixteen samples at a time: half by the
// hardware's conversion, the unit scale by a multiply whose rounding error
// two fused multiply-adds take out, which gives the correctly rounded
// quotient for every 8 and 16-bit value (the tests try them all).
#include "sample_widening.h"
#include "sample_widening_tail.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

namespace host_simd {
namespace {

constexpr size_t kLanes = 16;

void StoreUnit(__m512i values, float maximum, float* out) {
    const __m512 value = _mm512_cvtepi32_ps(values);
    const __m512 divisor = _mm512_set1_ps(maximum);
    const __m512 reciprocal = _mm512_set1_ps(1.0f / maximum);
    const __m512 estimate = _mm512_mul_ps(value, reciprocal);
    const __m512 error = _mm512_fnmadd_ps(estimate, divisor, value);
    _mm512_storeu_ps(out, _mm512_fmadd_ps(error, reciprocal, estimate));
}

void UInt8(const uint8_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        StoreUnit(_mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i))), 255.0f, out + i);
    WidenUnitTail(in, i, count, 255.0f, out);
}

void UInt16(const uint16_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        StoreUnit(_mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i))), 65535.0f,
                  out + i);
    WidenUnitTail(in, i, count, 65535.0f, out);
}

void Half(const uint16_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m256i halves = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m512 widened = _mm512_cvtph_ps(halves);
        // The conversion quiets signalling NaNs; infinities and NaNs are made
        // from their bits instead, the payload kept.
        const __m512i half = _mm512_cvtepu16_epi32(halves);
        const __mmask16 special =
            _mm512_cmpeq_epi32_mask(_mm512_and_si512(half, _mm512_set1_epi32(0x7C00)), _mm512_set1_epi32(0x7C00));
        const __m512i bits = _mm512_or_si512(
            _mm512_or_si512(_mm512_slli_epi32(_mm512_and_si512(half, _mm512_set1_epi32(0x8000)), 16),
                            _mm512_set1_epi32(0x7F800000)),
            _mm512_slli_epi32(_mm512_and_si512(half, _mm512_set1_epi32(0x3FF)), 13));
        _mm512_storeu_ps(out + i, _mm512_mask_blend_ps(special, widened, _mm512_castsi512_ps(bits)));
    }
    WidenHalfTail(in, i, count, out);
}

}  // namespace

const Widening kWideningAvx512 = {&UInt8, &UInt16, &Half};

}  // namespace host_simd
