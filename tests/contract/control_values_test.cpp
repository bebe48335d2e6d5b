// Conversions of control values, the offsets of the frame window and the
// frames a request reads.
#include <contract/control_values.h>
#include <contract/request_window.h>

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
// Positions of the Sample Direction items.
constexpr int32_t kBackward = 0;
constexpr int32_t kBoth = 1;
constexpr int32_t kForward = 2;

int32_t MethodNumber(double value) { return static_cast<int32_t>(taviron::MethodNumber(value)); }

TEST(FilterControls, CheckboxIsOnAtExactlyOne) {
    EXPECT_TRUE(taviron::CheckboxOn(1.0));
    for (double value : {0.0, 0.999, 0.5, 2.0, -1.0, 1.0000000000000002, kNaN, kInf}) {
        EXPECT_FALSE(taviron::CheckboxOn(value)) << value;
    }
}

TEST(FilterControls, IntegersTruncateTowardZero) {
    EXPECT_EQ(taviron::TruncateToInt32(2.9), 2);
    EXPECT_EQ(taviron::TruncateToInt32(-0.7), 0);
    EXPECT_EQ(taviron::TruncateToInt32(-2.9), -2);
    EXPECT_EQ(taviron::TruncateToInt32(1.9), 1);
    EXPECT_EQ(taviron::TruncateToInt32(2147483647.9), kMax);
    EXPECT_EQ(taviron::TruncateToInt32(-2147483648.9), kMin);
}

TEST(FilterControls, UnrepresentableIntegersAreMended) {
    EXPECT_EQ(taviron::TruncateToInt32(kNaN), 0);
    EXPECT_EQ(taviron::TruncateToInt32(-kNaN), 0);
    EXPECT_EQ(taviron::TruncateToInt32(kInf), kMax);
    EXPECT_EQ(taviron::TruncateToInt32(-kInf), kMin);
    EXPECT_EQ(taviron::TruncateToInt32(2147483648.0), kMax);
    EXPECT_EQ(taviron::TruncateToInt32(-2147483649.0), kMin);
    EXPECT_EQ(taviron::TruncateToInt32(1e300), kMax);
}

TEST(FilterControls, MethodIsRoundedToFloatBeforeTruncation) {
    EXPECT_EQ(MethodNumber(3.9999999), 4);
    EXPECT_EQ(MethodNumber(3.999), 3);
    EXPECT_EQ(MethodNumber(2.7), 2);
    EXPECT_EQ(MethodNumber(-0.5), 0);
    EXPECT_EQ(MethodNumber(kNaN), 0);
    EXPECT_EQ(MethodNumber(1e40), kMax);  // beyond float: +inf
    EXPECT_EQ(MethodNumber(-1e40), kMin);
}

void ExpectOffsets(int32_t frames, int32_t direction, int64_t first, int64_t last) {
    const taviron::WindowOffsets offsets = taviron::WindowOffsetsFor(frames, direction);
    EXPECT_EQ(offsets.first, first) << frames << " frames, direction " << direction;
    EXPECT_EQ(offsets.last, last) << frames << " frames, direction " << direction;
}

TEST(WindowOffsets, ByDirection) {
    ExpectOffsets(3, kBackward, -3, 0);
    ExpectOffsets(3, kBoth, -3, 3);
    ExpectOffsets(3, kForward, 0, 3);
    ExpectOffsets(3, 3, 0, 0);
    ExpectOffsets(3, -1, 0, 0);
}

TEST(WindowOffsets, NegativeFramesGiveNoOffsetsButOtherDirectionsOffsetZero) {
    for (int32_t direction : {0, 1, 2}) {
        const taviron::WindowOffsets offsets = taviron::WindowOffsetsFor(-2, direction);
        EXPECT_GT(offsets.first, offsets.last) << direction;
    }
    ExpectOffsets(-2, 7, 0, 0);
}

TEST(WindowOffsets, ExtremeFramesDoNotOverflow) {
    ExpectOffsets(kMax, kBoth, -int64_t{kMax}, kMax);
    ExpectOffsets(kMin, kBoth, -int64_t{kMin}, kMin);
    ExpectOffsets(kMin, kBackward, -int64_t{kMin}, 0);
}

void ExpectRead(double frames, double direction, int64_t first, int64_t last) {
    const taviron::RequestWindow window = taviron::RequestWindowOf(frames, direction);
    EXPECT_EQ(window.read.first, first) << frames << " frames, direction " << direction;
    EXPECT_EQ(window.read.last, last) << frames << " frames, direction " << direction;
}

TEST(RequestWindow, ReadsItsOwnFrameAndEveryGatheredOne) {
    ExpectRead(3, kBackward, -3, 0);
    ExpectRead(2.9999999, kBoth, -2, 2);
    ExpectRead(3, kForward + 0.9, 0, 3);
    ExpectRead(3, kNaN, -3, 0);  // NaN truncates to Backward
    ExpectRead(3, 7, 0, 0);
    ExpectRead(kInf, -1, 0, 0);
}

TEST(RequestWindow, WithoutAWindowOnlyTheOwnFrameIsRead) {
    for (double direction : {0.0, 1.0, 2.0, 5.0}) {
        EXPECT_TRUE(taviron::RequestWindowOf(0.0, direction).PassesThrough());
        EXPECT_TRUE(taviron::RequestWindowOf(-0.7, direction).PassesThrough());
        EXPECT_TRUE(taviron::RequestWindowOf(kNaN, direction).PassesThrough());
        ExpectRead(0, direction, 0, 0);
        ExpectRead(-2, direction, 0, 0);  // an empty window: the source alone
        ExpectRead(-kInf, direction, 0, 0);
    }
    EXPECT_FALSE(taviron::RequestWindowOf(-2, kBoth).PassesThrough());
}

}  // namespace
