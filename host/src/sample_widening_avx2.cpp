// Sample widening on AVX2 with FMA and F16C, eight samples at a time: half by
// the hardware's conversion, the unit scale by a multiply whose rounding
// error two fused multiply-adds take out, which gives the correctly rounded
// quotient for every 8 and 16-bit value (the tests try them all).
#include "sample_widening.h"
#include "sample_widening_tail.h"

#include <immintrin.h>

namespace host_simd {
namespace {

constexpr size_t kLanes = 8;

void StoreUnit(__m256i values, float maximum, float* out) {
    const __m256 value = _mm256_cvtepi32_ps(values);
    const __m256 divisor = _mm256_set1_ps(maximum);
    const __m256 reciprocal = _mm256_set1_ps(1.0f / maximum);
    const __m256 estimate = _mm256_mul_ps(value, reciprocal);
    const __m256 error = _mm256_fnmadd_ps(estimate, divisor, value);
    _mm256_storeu_ps(out, _mm256_fmadd_ps(error, reciprocal, estimate));
}

void UInt8(const uint8_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        StoreUnit(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i))), 255.0f, out + i);
    WidenUnitTail(in, i, count, 255.0f, out);
}

void UInt16(const uint16_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        StoreUnit(_mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i))), 65535.0f,
                  out + i);
    WidenUnitTail(in, i, count, 65535.0f, out);
}

void Half(const uint16_t* in, size_t count, float* out) {
    size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        const __m128i halves = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m256 widened = _mm256_cvtph_ps(halves);
        // The conversion quiets signalling NaNs; infinities and NaNs are made
        // from their bits instead, the payload kept.
        const __m256i half = _mm256_cvtepu16_epi32(halves);
        const __m256i special =
            _mm256_cmpeq_epi32(_mm256_and_si256(half, _mm256_set1_epi32(0x7C00)), _mm256_set1_epi32(0x7C00));
        const __m256i bits = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(half, _mm256_set1_epi32(0x8000)), 16),
                            _mm256_set1_epi32(0x7F800000)),
            _mm256_slli_epi32(_mm256_and_si256(half, _mm256_set1_epi32(0x3FF)), 13));
        _mm256_storeu_ps(out + i, _mm256_blendv_ps(widened, _mm256_castsi256_ps(bits), _mm256_castsi256_ps(special)));
    }
    WidenHalfTail(in, i, count, out);
}

}  // namespace

const Widening kWideningAvx2 = {&UInt8, &UInt16, &Half};

}  // namespace host_simd
