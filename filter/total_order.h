// Order keys of floats: integers that sort like IEEE 754 totalOrder,
// -NaN < -inf < ... < -0 < +0 < ... < +inf < +NaN, so that samples holding
// NaN still have one well-defined order. The mapping is its own inverse.
#pragma once

#include <cstdint>
#include <cstring>

namespace taviron {

inline uint32_t FlipNegative(uint32_t bits) {
    // Negative floats order backwards by magnitude: flip all but the sign.
    return (bits & 0x80000000u) != 0 ? bits ^ 0x7fffffffu : bits;
}

inline int32_t OrderKey(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits = FlipNegative(bits);
    int32_t key;
    std::memcpy(&key, &bits, sizeof key);
    return key;
}

inline float FromOrderKey(int32_t key) {
    uint32_t bits;
    std::memcpy(&bits, &key, sizeof bits);
    bits = FlipNegative(bits);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace taviron
