// The vector operations the tile kernel is written in, one type per
// instruction set: SSE2 (every x86-64 CPU), AVX2 and AVX-512F. Each type has
// the same static members, so the kernel is written once as a template.
//
// Intrinsics rather than a portable SIMD library: the kernel needs only a
// score of integer and float operations, the library Debian packages for
// run-time dispatch (Highway) has no mingw-w64 build to link the Windows
// plug-in against, and xsimd would add a dependency for little more than
// renaming these intrinsics while leaving the dispatch to us.
//
// Lanes hold 32-bit values: floats, or their order keys (an int32 that sorts
// like IEEE totalOrder, so NaN and signed zeros have one defined order). Each
// float type names, as `Bytes`, a type whose lanes hold 8-bit samples as
// stored, a whole number of float vectors wide, and widens them as the host
// reads them (value / 255, correctly rounded).
//
// This header is compiled under different instruction-set flags in different
// translation units. Everything here has internal linkage so that the linker
// never merges an AVX-512 copy of a function into the baseline path.
#pragma once

// GCC 12's AVX-512 header seeds some operations with a deliberately
// uninitialised vector, which its own warnings then flag after inlining.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <cstdint>
#include <cstring>

namespace taviron {
namespace simd {
namespace {

// Unsigned 8-bit lanes. `U` is both the samples and the masks (all ones in
// the lanes where a comparison holds); the names Min, Max and I let the
// selection networks sort bytes as they sort keys.
struct BytesSse2 {
    static constexpr int kLanes = 16;
    using U = __m128i;
    using I = U;

    static U Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store(uint8_t* p, U v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static U Splat(uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static U Min(U a, U b) { return _mm_min_epu8(a, b); }
    static U Max(U a, U b) { return _mm_max_epu8(a, b); }
    static U AtMost(U a, U b) { return _mm_cmpeq_epi8(_mm_max_epu8(a, b), b); }
    // Unsigned bytes with the top bit flipped compare as signed ones.
    static U FlipTopBit(U a) { return _mm_xor_si128(a, _mm_set1_epi8(static_cast<char>(0x80))); }
    static U GreaterSigned(U a, U b) { return _mm_cmpgt_epi8(a, b); }
    // Adds one where the mask holds; counts stay below 256.
    static U CountWhere(U count, U m) { return _mm_sub_epi8(count, m); }
    static U Add(U a, U b) { return _mm_add_epi8(a, b); }
    static U Sub(U a, U b) { return _mm_sub_epi8(a, b); }
    static U AddSaturated(U a, U b) { return _mm_adds_epu8(a, b); }
    static U Or(U a, U b) { return _mm_or_si128(a, b); }
    static U And(U a, U b) { return _mm_and_si128(a, b); }
    // The bits set in any lane.
    static uint8_t OrOfLanes(U a) {
        uint64_t bits = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_or_si128(a, _mm_unpackhi_epi64(a, a))));
        bits |= bits >> 32;
        bits |= bits >> 16;
        bits |= bits >> 8;
        return static_cast<uint8_t>(bits);
    }
};

#if defined(__AVX2__)
struct BytesAvx2 {
    static constexpr int kLanes = 32;
    using U = __m256i;
    using I = U;

    static U Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store(uint8_t* p, U v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static U Splat(uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static U Min(U a, U b) { return _mm256_min_epu8(a, b); }
    static U Max(U a, U b) { return _mm256_max_epu8(a, b); }
    static U AtMost(U a, U b) { return _mm256_cmpeq_epi8(_mm256_max_epu8(a, b), b); }
    static U FlipTopBit(U a) { return _mm256_xor_si256(a, _mm256_set1_epi8(static_cast<char>(0x80))); }
    static U GreaterSigned(U a, U b) { return _mm256_cmpgt_epi8(a, b); }
    static U CountWhere(U count, U m) { return _mm256_sub_epi8(count, m); }
    static U Add(U a, U b) { return _mm256_add_epi8(a, b); }
    static U Sub(U a, U b) { return _mm256_sub_epi8(a, b); }
    static U AddSaturated(U a, U b) { return _mm256_adds_epu8(a, b); }
    static U Or(U a, U b) { return _mm256_or_si256(a, b); }
    static U And(U a, U b) { return _mm256_and_si256(a, b); }
    static uint8_t OrOfLanes(U a) {
        return BytesSse2::OrOfLanes(_mm_or_si128(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1)));
    }
};
#endif

struct VecSse2 {
    static constexpr int kLanes = 4;
    // Windows up to this many frames take their median by selection network,
    // wider ones by search; the network is the cheaper per sample up to here
    // on every instruction set (measured, median-select benchmarks), and
    // networks of wider windows cost too much to compile.
    static constexpr int kLargestMedianNetwork = 64;
    using F = __m128;
    using I = __m128i;
    using M = __m128i;  // all ones in the lanes where it holds

    static F LoadF(const float* p) { return _mm_loadu_ps(p); }
    static void StoreF(float* p, F v) { _mm_storeu_ps(p, v); }
    static I LoadI(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void StoreI(int32_t* p, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    static F SplatF(float v) { return _mm_set1_ps(v); }
    static I SplatI(int32_t v) { return _mm_set1_epi32(v); }

    // Negative floats order backwards by magnitude: flip all but the sign.
    // The mapping is its own inverse.
    static I FlipNegative(I bits) {
        return _mm_xor_si128(bits, _mm_and_si128(_mm_srai_epi32(bits, 31), _mm_set1_epi32(0x7fffffff)));
    }
    static I Key(F v) { return FlipNegative(_mm_castps_si128(v)); }
    static F FromKey(I k) { return _mm_castsi128_ps(FlipNegative(k)); }

    static M Greater(I a, I b) { return _mm_cmpgt_epi32(a, b); }
    static I Select(M m, I ifSet, I otherwise) {
        return _mm_or_si128(_mm_and_si128(m, ifSet), _mm_andnot_si128(m, otherwise));
    }
    static F Select(M m, F ifSet, F otherwise) {
        return _mm_castsi128_ps(Select(m, _mm_castps_si128(ifSet), _mm_castps_si128(otherwise)));
    }
    static I Min(I a, I b) { return Select(Greater(a, b), b, a); }
    static I Max(I a, I b) { return Select(Greater(a, b), a, b); }
    static I Add(I a, I b) { return _mm_add_epi32(a, b); }
    static I Sub(I a, I b) { return _mm_sub_epi32(a, b); }
    static I HalveUnsigned(I a) { return _mm_srli_epi32(a, 1); }
    static I CountWhere(I count, M m) { return _mm_sub_epi32(count, m); }
    static I MinWhere(I best, M m, I a) { return Select(m, Min(best, a), best); }
    static I MaxWhere(I best, M m, I a) { return Select(m, Max(best, a), best); }
    static bool Any(M m) { return _mm_movemask_epi8(m) != 0; }
    static M And(M a, M b) { return _mm_and_si128(a, b); }
    static M AndNot(M keep, M drop) { return _mm_andnot_si128(drop, keep); }
    static M Or(M a, M b) { return _mm_or_si128(a, b); }
    static M Not(M m) { return _mm_xor_si128(m, _mm_set1_epi32(-1)); }
    static F ToFloat(I a) { return _mm_cvtepi32_ps(a); }
    static I Truncate(F a) { return _mm_cvttps_epi32(a); }

    static F Add(F a, F b) { return _mm_add_ps(a, b); }
    static F Mul(F a, F b) { return _mm_mul_ps(a, b); }
    static F Sub(F a, F b) { return _mm_sub_ps(a, b); }
    static F Div(F a, F b) { return _mm_div_ps(a, b); }
    static F Abs(F v) { return _mm_and_ps(v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff))); }
    // Ordered: false where either is NaN.
    static M LessEqual(F a, F b) { return _mm_castps_si128(_mm_cmple_ps(a, b)); }
    // Unordered: true where either is NaN.
    static M NotLessEqual(F a, F b) { return _mm_castps_si128(_mm_cmpnle_ps(a, b)); }
    static M IsNaN(F v) { return _mm_castps_si128(_mm_cmpunord_ps(v, v)); }

    using Bytes = BytesSse2;
    // kLanes 8-bit samples from p, as the host reads them.
    static F WidenBytes(const uint8_t* p) {
        int32_t four;
        std::memcpy(&four, p, sizeof four);
        const __m128i zero = _mm_setzero_si128();
        const __m128i words = _mm_unpacklo_epi8(_mm_cvtsi32_si128(four), zero);
        return Div(_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, zero)), SplatF(255.0f));
    }
};

#if defined(__AVX2__)
struct VecAvx2 {
    static constexpr int kLanes = 8;
    static constexpr int kLargestMedianNetwork = 64;
    using F = __m256;
    using I = __m256i;
    using M = __m256i;

    static F LoadF(const float* p) { return _mm256_loadu_ps(p); }
    static void StoreF(float* p, F v) { _mm256_storeu_ps(p, v); }
    static I LoadI(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void StoreI(int32_t* p, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static F SplatF(float v) { return _mm256_set1_ps(v); }
    static I SplatI(int32_t v) { return _mm256_set1_epi32(v); }

    static I FlipNegative(I bits) {
        return _mm256_xor_si256(bits, _mm256_and_si256(_mm256_srai_epi32(bits, 31), _mm256_set1_epi32(0x7fffffff)));
    }
    static I Key(F v) { return FlipNegative(_mm256_castps_si256(v)); }
    static F FromKey(I k) { return _mm256_castsi256_ps(FlipNegative(k)); }

    static M Greater(I a, I b) { return _mm256_cmpgt_epi32(a, b); }
    static I Select(M m, I ifSet, I otherwise) { return _mm256_blendv_epi8(otherwise, ifSet, m); }
    static F Select(M m, F ifSet, F otherwise) { return _mm256_blendv_ps(otherwise, ifSet, _mm256_castsi256_ps(m)); }
    static I Min(I a, I b) { return _mm256_min_epi32(a, b); }
    static I Max(I a, I b) { return _mm256_max_epi32(a, b); }
    static I Add(I a, I b) { return _mm256_add_epi32(a, b); }
    static I Sub(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I HalveUnsigned(I a) { return _mm256_srli_epi32(a, 1); }
    static I CountWhere(I count, M m) { return _mm256_sub_epi32(count, m); }
    static I MinWhere(I best, M m, I a) { return Select(m, Min(best, a), best); }
    static I MaxWhere(I best, M m, I a) { return Select(m, Max(best, a), best); }
    static bool Any(M m) { return !_mm256_testz_si256(m, m); }
    static M And(M a, M b) { return _mm256_and_si256(a, b); }
    static M AndNot(M keep, M drop) { return _mm256_andnot_si256(drop, keep); }
    static M Or(M a, M b) { return _mm256_or_si256(a, b); }
    static M Not(M m) { return _mm256_xor_si256(m, _mm256_set1_epi32(-1)); }
    static F ToFloat(I a) { return _mm256_cvtepi32_ps(a); }
    static I Truncate(F a) { return _mm256_cvttps_epi32(a); }

    static F Add(F a, F b) { return _mm256_add_ps(a, b); }
    static F Mul(F a, F b) { return _mm256_mul_ps(a, b); }
    static F Sub(F a, F b) { return _mm256_sub_ps(a, b); }
    static F Div(F a, F b) { return _mm256_div_ps(a, b); }
    static F Abs(F v) { return _mm256_and_ps(v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff))); }
    static M LessEqual(F a, F b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_LE_OQ)); }
    static M NotLessEqual(F a, F b) { return _mm256_castps_si256(_mm256_cmp_ps(a, b, _CMP_NLE_UQ)); }
    static M IsNaN(F v) { return _mm256_castps_si256(_mm256_cmp_ps(v, v, _CMP_UNORD_Q)); }

    using Bytes = BytesAvx2;
    static F WidenBytes(const uint8_t* p) {
        const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        return Div(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(eight)), SplatF(255.0f));
    }
};
#endif

#if defined(__AVX512F__)
struct VecAvx512 {
    static constexpr int kLanes = 16;
    static constexpr int kLargestMedianNetwork = 64;
    using F = __m512;
    using I = __m512i;
    using M = __mmask16;

    static F LoadF(const float* p) { return _mm512_loadu_ps(p); }
    static void StoreF(float* p, F v) { _mm512_storeu_ps(p, v); }
    static I LoadI(const int32_t* p) { return _mm512_loadu_si512(p); }
    static void StoreI(int32_t* p, I v) { _mm512_storeu_si512(p, v); }
    static F SplatF(float v) { return _mm512_set1_ps(v); }
    static I SplatI(int32_t v) { return _mm512_set1_epi32(v); }

    static I FlipNegative(I bits) {
        return _mm512_xor_si512(bits, _mm512_and_si512(_mm512_srai_epi32(bits, 31), _mm512_set1_epi32(0x7fffffff)));
    }
    static I Key(F v) { return FlipNegative(_mm512_castps_si512(v)); }
    static F FromKey(I k) { return _mm512_castsi512_ps(FlipNegative(k)); }

    static M Greater(I a, I b) { return _mm512_cmpgt_epi32_mask(a, b); }
    static I Select(M m, I ifSet, I otherwise) { return _mm512_mask_blend_epi32(m, otherwise, ifSet); }
    static F Select(M m, F ifSet, F otherwise) { return _mm512_mask_blend_ps(m, otherwise, ifSet); }
    static I Min(I a, I b) { return _mm512_min_epi32(a, b); }
    static I Max(I a, I b) { return _mm512_max_epi32(a, b); }
    static I Add(I a, I b) { return _mm512_add_epi32(a, b); }
    static I Sub(I a, I b) { return _mm512_sub_epi32(a, b); }
    static I HalveUnsigned(I a) { return _mm512_srli_epi32(a, 1); }
    static I CountWhere(I count, M m) { return _mm512_mask_add_epi32(count, m, count, _mm512_set1_epi32(1)); }
    static I MinWhere(I best, M m, I a) { return _mm512_mask_min_epi32(best, m, best, a); }
    static I MaxWhere(I best, M m, I a) { return _mm512_mask_max_epi32(best, m, best, a); }
    static M Not(M m) { return _mm512_knot(m); }
    static bool Any(M m) { return m != 0; }
    static M And(M a, M b) { return _mm512_kand(a, b); }
    static M AndNot(M keep, M drop) { return _mm512_kandn(drop, keep); }
    static M Or(M a, M b) { return _mm512_kor(a, b); }
    static F ToFloat(I a) { return _mm512_cvtepi32_ps(a); }
    static I Truncate(F a) { return _mm512_cvttps_epi32(a); }

    static F Add(F a, F b) { return _mm512_add_ps(a, b); }
    static F Mul(F a, F b) { return _mm512_mul_ps(a, b); }
    static F Sub(F a, F b) { return _mm512_sub_ps(a, b); }
    static F Div(F a, F b) { return _mm512_div_ps(a, b); }
    // The float logic operations need AVX-512DQ; the integer ones do not.
    static F Abs(F v) {
        return _mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(v), _mm512_set1_epi32(0x7fffffff)));
    }
    static M LessEqual(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_LE_OQ); }
    static M NotLessEqual(F a, F b) { return _mm512_cmp_ps_mask(a, b, _CMP_NLE_UQ); }
    static M IsNaN(F v) { return _mm512_cmp_ps_mask(v, v, _CMP_UNORD_Q); }

    // Byte operations on 512 bits need AVX-512BW; every AVX-512F CPU has AVX2.
    using Bytes = BytesAvx2;
    static F WidenBytes(const uint8_t* p) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return Div(_mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(sixteen)), SplatF(255.0f));
    }
};
#endif

}  // namespace
}  // namespace simd
}  // namespace taviron
