#include "sample_widening.h"

namespace host_simd {

bool HasAvx2Widening() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("f16c");
}

bool HasAvx512Widening() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}

const Widening& ActiveWidening() {
    static const Widening& widest =
        HasAvx512Widening() ? kWideningAvx512 : HasAvx2Widening() ? kWideningAvx2 : kWideningSse2;
    return widest;
}

}  // namespace host_simd
