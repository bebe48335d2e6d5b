// IEEE 754 binary16 <-> binary32, by hand so that no compiler support for a
// half type is needed.
#include <hostsdk/image.h>

#include <cstring>

namespace {

uint32_t BitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FloatOf(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

float HalfToFloat(uint16_t half) {
    const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
    const uint32_t exponent = (half >> 10) & 0x1Fu;
    uint32_t mantissa = half & 0x3FFu;

    if (exponent == 0x1F) {  // infinity or NaN, payload kept
        return FloatOf(sign | 0x7F800000u | (mantissa << 13));
    }
    if (exponent != 0) {  // normal
        return FloatOf(sign | ((exponent + 112) << 23) | (mantissa << 13));
    }
    if (mantissa == 0) {  // signed zero
        return FloatOf(sign);
    }
    // Subnormal half: normalise; every one is a normal float.
    uint32_t floatExponent = 113;  // 2^-14, the exponent of the smallest normal half
    while ((mantissa & 0x400u) == 0) {
        mantissa <<= 1;
        --floatExponent;
    }
    return FloatOf(sign | (floatExponent << 23) | ((mantissa & 0x3FFu) << 13));
}

uint16_t FloatToHalf(float value) {
    const uint32_t bits = BitsOf(value);
    const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    const uint32_t magnitude = bits & 0x7FFFFFFFu;

    if (magnitude > 0x7F800000u) {  // NaN: keep the payload's top bits, never make it infinity
        const uint32_t payload = (magnitude >> 13) & 0x3FFu;
        return static_cast<uint16_t>(sign | 0x7C00u | (payload != 0 ? payload : 0x200u));
    }
    if (magnitude >= 0x477FF000u) {  // infinity, or rounds beyond the largest half, 65504
        return static_cast<uint16_t>(sign | 0x7C00u);
    }
    if (magnitude >= 0x38800000u) {  // a normal half
        // Rebias the exponent, then round the 13 dropped bits to nearest even;
        // a carry out of the mantissa correctly bumps the exponent.
        const uint32_t rebiased = magnitude - 0x38000000u;
        const uint32_t roundBias = 0xFFFu + ((rebiased >> 13) & 1u);
        return static_cast<uint16_t>(sign | ((rebiased + roundBias) >> 13));
    }
    if (magnitude < 0x33000000u) {  // below half the smallest subnormal: zero
        return sign;
    }
    // A subnormal half: shift the mantissa with its implicit bit into place
    // and round to nearest even on the bits shifted out.
    const uint32_t exponent = magnitude >> 23;
    const uint32_t mantissa = (magnitude & 0x7FFFFFu) | 0x800000u;
    const uint32_t shift = 126 - exponent;  // 14 .. 24
    const uint32_t kept = mantissa >> shift;
    const uint32_t dropped = mantissa & ((1u << shift) - 1);
    const uint32_t halfway = 1u << (shift - 1);
    const uint32_t roundUp = (dropped > halfway || (dropped == halfway && (kept & 1u))) ? 1u : 0u;
    return static_cast<uint16_t>(sign | (kept + roundUp));
}
