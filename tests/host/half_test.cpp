#include <hostsdk/image.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Half, WidensKnownValues) {
    EXPECT_EQ(HalfToFloat(0x0000), 0.0f);
    EXPECT_TRUE(std::signbit(HalfToFloat(0x8000)));
    EXPECT_EQ(HalfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(HalfToFloat(0xC000), -2.0f);
    EXPECT_EQ(HalfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(HalfToFloat(0x0400), std::ldexp(1.0f, -14));  // smallest normal
    EXPECT_EQ(HalfToFloat(0x0001), std::ldexp(1.0f, -24));  // smallest subnormal
    EXPECT_EQ(HalfToFloat(0x03FF), std::ldexp(1023.0f, -24));
    EXPECT_EQ(HalfToFloat(0x7C00), std::numeric_limits<float>::infinity());
    EXPECT_EQ(HalfToFloat(0xFC00), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(HalfToFloat(0x7E00)));
}

TEST(Half, EveryHalfSurvivesARoundTripThroughFloat) {
    for (uint32_t bits = 0; bits <= 0xFFFF; ++bits) {
        const uint16_t half = static_cast<uint16_t>(bits);
        const float widened = HalfToFloat(half);
        ASSERT_EQ(FloatToHalf(widened), half) << "half 0x" << std::hex << bits;
        const bool isNaN = (half & 0x7C00) == 0x7C00 && (half & 0x03FF) != 0;
        ASSERT_EQ(std::isnan(widened), isNaN) << "half 0x" << std::hex << bits;
    }
}

// Between every two neighbouring finite halves: the midpoint goes to the one
// with an even mantissa, anything off the midpoint to the nearer one.
TEST(Half, NarrowingRoundsToNearestEven) {
    for (uint16_t lower = 0; lower < 0x7BFF; ++lower) {
        const uint16_t upper = static_cast<uint16_t>(lower + 1);
        const float low = HalfToFloat(lower);
        const float high = HalfToFloat(upper);
        const float middle = (low + high) / 2;  // exact: halves have few bits
        ASSERT_EQ(FloatToHalf(middle), (lower & 1) ? upper : lower) << "between 0x" << std::hex << lower;
        ASSERT_EQ(FloatToHalf(std::nextafter(middle, 0.0f)), lower) << "below 0x" << std::hex << upper;
        ASSERT_EQ(FloatToHalf(std::nextafter(middle, high)), upper) << "above 0x" << std::hex << lower;
        ASSERT_EQ(FloatToHalf(-middle), 0x8000 | FloatToHalf(middle));
    }
}

TEST(Half, NarrowingBeyondTheRange) {
    EXPECT_EQ(FloatToHalf(65519.0f), 0x7BFF);
    EXPECT_EQ(FloatToHalf(65520.0f), 0x7C00);  // the midpoint to 65536 rounds up to infinity
    EXPECT_EQ(FloatToHalf(1e10f), 0x7C00);
    EXPECT_EQ(FloatToHalf(-1e10f), 0xFC00);
    EXPECT_EQ(FloatToHalf(std::numeric_limits<float>::infinity()), 0x7C00);
    EXPECT_EQ(FloatToHalf(std::ldexp(1.0f, -25)), 0x0000);  // half the smallest subnormal: to even
    EXPECT_EQ(FloatToHalf(std::ldexp(1.0f, -30)), 0x0000);
    EXPECT_EQ(FloatToHalf(-std::ldexp(1.0f, -30)), 0x8000);
    EXPECT_EQ(FloatToHalf(std::numeric_limits<float>::denorm_min()), 0x0000);
    const uint16_t nan = FloatToHalf(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(nan & 0x7C00, 0x7C00);
    EXPECT_NE(nan & 0x03FF, 0);
}
