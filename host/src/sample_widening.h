// Widening a run of stored samples to float: 8 and 16-bit values scale to
// 0..1 (the quotient value / 255 or value / 65535, correctly rounded), half
// widens exactly, NaN payloads and all. One function per instruction set,
// giving the same bits; the host picks the widest its CPU has.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host_simd {

using WidenUInt8 = void (*)(const uint8_t* in, size_t count, float* out);
using WidenUInt16 = void (*)(const uint16_t* in, size_t count, float* out);
using WidenHalf = void (*)(const uint16_t* in, size_t count, float* out);

struct Widening {
    WidenUInt8 uint8;
    WidenUInt16 uint16;
    WidenHalf half;
};

// Every x86-64 CPU.
extern const Widening kWideningSse2;
// AVX2 with FMA and F16C.
extern const Widening kWideningAvx2;
// AVX-512F.
extern const Widening kWideningAvx512;

bool HasAvx2Widening();
bool HasAvx512Widening();

// The widest this CPU has.
const Widening& ActiveWidening();

}  // namespace host_simd
