// The scalar rule of sample widening, for the samples after the last whole
// vector. Included by each instruction set's file; internal linkage, so that
// no copy built for a wider instruction set stands in for another.
#pragma once

#include <hostsdk/image.h>

#include <cstddef>
#include <cstdint>

namespace host_simd {
namespace {

template <typename Sample>
void WidenUnitTail(const Sample* in, size_t from, size_t count, float maximum, float* out) {
    for (size_t i = from; i < count; ++i) out[i] = static_cast<float>(in[i]) / maximum;
}

inline void WidenHalfTail(const uint16_t* in, size_t from, size_t count, float* out) {
    for (size_t i = from; i < count; ++i) out[i] = HalfToFloat(in[i]);
}

}  // namespace
}  // namespace host_simd
