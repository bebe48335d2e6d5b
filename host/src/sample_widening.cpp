#include "sample_widening.h"

#include <cpuid.h>

namespace host_simd {

namespace {

// Not every compiler's __builtin_cpu_supports knows "f16c": ask the processor.
bool HasF16c() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_F16C) != 0;
}

}  // namespace

bool HasAvx2Widening() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && HasF16c();
}

bool HasAvx512Widening() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

const Widening& ActiveWidening() {
    static const Widening& widest = []() -> const Widening& {
        if (HasAvx512Widening()) return kWideningAvx512;
        if (HasAvx2Widening()) return kWideningAvx2;
        return kWideningSse2;
    }();
    return widest;
}

}  // namespace host_simd
