// Widening stored samples to float on each instruction set against the
// scalar rule, every value of every type: 8 and 16-bit values divided by
// their maximum, halves widened exactly with NaN payloads kept (the hardware
// conversion quiets signalling NaNs). Runs of every length up to a few
// vectors, at every start, so that every tail is taken.
#include "sample_widening.h"

#include <hostsdk/image.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

enum class WideningPath { Sse2, Avx2, Avx512 };

struct PathCase {
    WideningPath path;
    const char* name;
};

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class SampleWidening : public ::testing::TestWithParam<PathCase> {
protected:
    void SetUp() override {
        const WideningPath path = GetParam().path;
        if ((path == WideningPath::Avx2 && !host_simd::HasAvx2Widening()) ||
            (path == WideningPath::Avx512 && !host_simd::HasAvx512Widening())) {
            GTEST_SKIP() << "this CPU has no " << GetParam().name;
        }
    }
    const host_simd::Widening& Widening() const {
        switch (GetParam().path) {
        case WideningPath::Avx2: return host_simd::kWideningAvx2;
        case WideningPath::Avx512: return host_simd::kWideningAvx512;
        case WideningPath::Sse2: break;
        }
        return host_simd::kWideningSse2;
    }

    // Widens `values` whole and in runs of 0 to 40 samples from every start
    // up to 17, comparing each sample's bits with `expected` of its value.
    template <typename Sample, typename Widen, typename Expected>
    void ExpectEveryRun(const std::vector<Sample>& values, Widen widen, Expected expected) {
        std::vector<float> out(values.size() + 1);
        const auto check = [&](size_t first, size_t count) {
            out[count] = -1.0f;  // past the run: must stay
            widen(values.data() + first, count, out.data());
            for (size_t i = 0; i < count; ++i)
                ASSERT_EQ(Bits(out[i]), Bits(expected(values[first + i])))
                    << "value " << +values[first + i] << ", run of " << count << " from " << first;
            ASSERT_EQ(out[count], -1.0f) << "written past a run of " << count;
        };
        check(0, values.size());
        for (size_t first = 0; first <= 17; ++first)
            for (size_t count = 0; count <= 40 && first + count <= values.size(); ++count) check(first, count);
    }
};

std::vector<uint16_t> EverySixteenBitPattern() {
    std::vector<uint16_t> values(0x10000);
    for (uint32_t value = 0; value <= 0xFFFF; ++value) values[value] = static_cast<uint16_t>(value);
    return values;
}

TEST_P(SampleWidening, EightBitValuesScaleByTwoFiftyFive) {
    std::vector<uint8_t> values(256);
    for (int value = 0; value < 256; ++value) values[static_cast<size_t>(value)] = static_cast<uint8_t>(255 - value);
    ExpectEveryRun(values, Widening().uint8, [](uint8_t value) { return value / 255.0f; });
}

TEST_P(SampleWidening, SixteenBitValuesScaleBySixtyFiveThousandFiveHundredThirtyFive) {
    ExpectEveryRun(EverySixteenBitPattern(), Widening().uint16, [](uint16_t value) { return value / 65535.0f; });
}

TEST_P(SampleWidening, HalvesWidenExactlyKeepingNaNPayloads) {
    // The signalling NaNs first, where the runs start.
    std::vector<uint16_t> values = {0x7C01, 0xFD55, 0x7DFF, 0x7E00, 0x0001, 0x8000};
    const std::vector<uint16_t> every = EverySixteenBitPattern();
    values.insert(values.end(), every.begin(), every.end());
    ExpectEveryRun(values, Widening().half, [](uint16_t half) { return HalfToFloat(half); });
}

INSTANTIATE_TEST_SUITE_P(, SampleWidening,
                         ::testing::Values(PathCase{WideningPath::Sse2, "sse2"}, PathCase{WideningPath::Avx2, "avx2"},
                                           PathCase{WideningPath::Avx512, "avx512"}),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

}  // namespace
