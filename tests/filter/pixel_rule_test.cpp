// The per-pixel rule through the row kernel, on values whose results are
// known by hand: the methods, the order of NaN and signed zeros, the
// threshold, the mask, the tracking displacement and the random pick.
#include "kernel_paths.h"

#include "support/filter_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <limits>
#include <vector>

namespace {

using taviron::FilterMethod;
using taviron::RowControls;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

RowControls AllChannels(FilterMethod method) {
    RowControls controls;
    for (bool& on : controls.channelOn) {
        on = true;
    }
    controls.method = method;
    return controls;
}

// The frames, their points and the images a row needs, all of one size.
class RowScene {
public:
    RowScene(int32_t width, int32_t height, const FltPixel& source) : output_(MakeImage(width, height)) {
        scene_.source = MakeFilledImage(width, height, source);
    }

    Image& AddFrame(const FltPixel& fill, Point* point = nullptr) {
        return AddFrameOfSize(scene_.source->Width(), scene_.source->Height(), fill, point);
    }
    Image& AddFrameOfSize(int32_t width, int32_t height, const FltPixel& fill, Point* point = nullptr) {
        scene_.frames.push_back(MakeFilledImage(width, height, fill));
        scene_.framePoints.emplace_back(point);
        return *scene_.frames.back();
    }
    Image& AddFrameOfType(PixelType type, const FltPixel& fill) {
        scene_.frames.emplace_back(new Image(scene_.source->Width(), scene_.source->Height(), type));
        scene_.frames.back()->Fill(fill);
        scene_.framePoints.emplace_back();
        return *scene_.frames.back();
    }
    Image& SetMask(const FltPixel& fill) {
        return SetMaskOfSize(scene_.source->Width(), scene_.source->Height(), fill);
    }
    Image& SetMaskOfSize(int32_t width, int32_t height, const FltPixel& fill) {
        scene_.mask = MakeFilledImage(width, height, fill);
        return *scene_.mask;
    }
    void SetCurrentPoint(double x, double y) { scene_.currentPoint.reset(new Point(x, y)); }

    // Runs every row and gives the output.
    const Image& Run(const RowControls& controls) {
        taviron::ScratchPool scratch;
        FilterRows(scene_, *output_, controls, scratch);
        return *output_;
    }

    FltPixel RunPixel(const RowControls& controls, int32_t x = 0, int32_t y = 0) {
        FltPixel pixel;
        Run(controls).GetPixel(x, y, pixel);
        return pixel;
    }

private:
    FilterScene scene_;
    ImageRef output_;
};

// Frames whose red channel takes the given values in window order.
RowScene RedFrames(const std::vector<float>& reds, float sourceRed = 0.0f) {
    RowScene scene(1, 1, Pixel(0, 0, sourceRed, 0));
    for (float red : reds) {
        scene.AddFrame(Pixel(0, 0, red, 0));
    }
    return scene;
}

float RedOf(std::vector<float> reds, FilterMethod method) {
    return RedFrames(reds).RunPixel(AllChannels(method)).R;
}

// Every rule holds on each kernel path.
class FilterPixelMethods : public OnEachKernelPath {};
class FilterPixelThreshold : public OnEachKernelPath {};
class FilterPixelMask : public OnEachKernelPath {};
class FilterPixelWindow : public OnEachKernelPath {};

TEST_P(FilterPixelMethods, MaxMinAverageAndMedianOfThree) {
    const std::vector<float> reds = {0.2f, 0.9f, 0.5f};
    EXPECT_EQ(RedOf(reds, FilterMethod::Max), 0.9f);
    EXPECT_EQ(RedOf(reds, FilterMethod::Min), 0.2f);
    EXPECT_EQ(RedOf(reds, FilterMethod::Median), 0.5f);
    const float sum = (0.2f + 0.9f) + 0.5f;
    EXPECT_EQ(Bits(RedOf(reds, FilterMethod::Average)), Bits(sum / 3.0f));
}

TEST_P(FilterPixelMethods, MedianOfAnEvenWindowIsTheUpperMiddle) {
    EXPECT_EQ(RedOf({0.7f, 0.3f}, FilterMethod::Median), 0.7f);
    EXPECT_EQ(RedOf({4.0f, 1.0f, 3.0f, 2.0f}, FilterMethod::Median), 3.0f);
    EXPECT_EQ(RedOf({5.0f, 1.0f, 4.0f, 2.0f, 3.0f}, FilterMethod::Median), 3.0f);
}

TEST_P(FilterPixelMethods, NaNAndSignedZerosFollowTotalOrder) {
    const float negativeNaN = FromBits(0xffc00000u);
    const std::vector<float> reds = {kNaN, 1.0f, negativeNaN, -kInf, kInf};
    EXPECT_EQ(Bits(RedOf(reds, FilterMethod::Min)), 0xffc00000u);
    EXPECT_EQ(Bits(RedOf(reds, FilterMethod::Max)), Bits(kNaN));
    EXPECT_EQ(RedOf(reds, FilterMethod::Median), 1.0f);
    EXPECT_EQ(Bits(RedOf({0.0f, -0.0f}, FilterMethod::Min)), 0x80000000u);
    EXPECT_EQ(Bits(RedOf({-0.0f, 0.0f}, FilterMethod::Max)), 0u);
}

TEST_P(FilterPixelMethods, AverageOverNaNIsTheOneQuietNaN) {
    EXPECT_EQ(Bits(RedOf({FromBits(0xfff00001u), 1.0f, FromBits(0x7fc00123u)}, FilterMethod::Average)), 0x7fc00000u);
    EXPECT_EQ(Bits(RedOf({kInf, -kInf}, FilterMethod::Average)), 0x7fc00000u);
}

TEST_P(FilterPixelMethods, EachChannelIsOrderedByItself) {
    RowScene scene(1, 1, Pixel(0, 0, 0, 0));
    scene.AddFrame(Pixel(1, 0, 3, 0));
    scene.AddFrame(Pixel(2, 0, 1, 0));
    scene.AddFrame(Pixel(3, 0, 2, 0));
    const FltPixel out = scene.RunPixel(AllChannels(FilterMethod::Median));
    EXPECT_EQ(out.B, 2.0f);  // from the second frame
    EXPECT_EQ(out.R, 2.0f);  // from the third
}

TEST_P(FilterPixelMethods, DisabledChannelsAndDepthKeepTheSource) {
    RowScene scene(2, 2, Pixel(0.1f, 0.2f, 0.3f, 0.4f, 7.0f));
    scene.AddFrame(Pixel(5, 5, 5, 5, 9));
    RowControls controls = AllChannels(FilterMethod::Average);
    controls.channelOn[CHAN_GREEN] = false;
    controls.channelOn[CHAN_ALPHA] = false;
    const FltPixel out = scene.RunPixel(controls, 1, 1);
    EXPECT_TRUE(SameBits(out, Pixel(5, 0.2f, 5, 0.4f, 7.0f))) << Describe(out);
}

TEST_P(FilterPixelThreshold, RestoresOnlyChangesStrictlyBelowIt) {
    RowControls controls = AllChannels(FilterMethod::Median);
    controls.threshold = 0.25;
    EXPECT_EQ(RedFrames({0.75f}, 0.5f).RunPixel(controls).R, 0.75f);
    EXPECT_EQ(RedFrames({0.625f}, 0.5f).RunPixel(controls).R, 0.5f);
    controls.threshold = 0.0;
    EXPECT_EQ(RedFrames({0.5f}, 0.5f).RunPixel(controls).R, 0.5f);
}

// Three equal frames, so that every method, Random too, yields the frame:
// blue, green, red and alpha change by 0.125, 0.5, 0.375 and 0.0625.
TEST_P(FilterPixelThreshold, ThresholdMaskAndChannelsApplyToEveryMethod) {
    for (FilterMethod method : {FilterMethod::Median, FilterMethod::Average, FilterMethod::Max,
                           FilterMethod::Min, FilterMethod::Random}) {
        RowScene scene(3, 1, Pixel(0.5f, 0.5f, 0.5f, 0.5f, 9.0f));
        for (int j = 0; j < 3; ++j) {
            scene.AddFrame(Pixel(0.625f, 1.0f, 0.875f, 0.5625f, 1.0f));
        }
        Image& mask = scene.SetMask(Pixel(0, 0, 0, 1));
        mask.SetPixel(1, 0, Pixel(1, 1, 1, 0));
        RowControls controls = AllChannels(method);
        controls.channelOn[CHAN_GREEN] = false;
        controls.threshold = 0.25;
        const Image& output = scene.Run(controls);
        for (int32_t x : {0, 2}) {
            FltPixel out;
            output.GetPixel(x, 0, out);
            EXPECT_TRUE(SameBits(out, Pixel(0.5f, 0.5f, 0.875f, 0.5f, 9.0f)))
                << "method " << static_cast<int>(method) << ", column " << x << ": " << Describe(out);
        }
        FltPixel masked;
        output.GetPixel(1, 0, masked);
        EXPECT_TRUE(SameBits(masked, Pixel(0.5f, 0.5f, 0.5f, 0.5f, 9.0f))) << "method " << static_cast<int>(method);
    }
}

// A mask without pixels says nothing about any pixel: it filters everywhere,
// as the all-ones mask does.
TEST_P(FilterPixelMask, MaskWithoutPixelsFiltersEverywhere) {
    for (auto [width, height] : {std::pair{0, 0}, std::pair{0, 3}, std::pair{4, 0}}) {
        RowScene scene = RedFrames({0.9f}, 0.1f);
        scene.SetMaskOfSize(width, height, Pixel(0, 0, 0, 0));
        EXPECT_EQ(scene.RunPixel(AllChannels(FilterMethod::Max)).R, 0.9f) << width << "x" << height;
    }
}

TEST_P(FilterPixelMask, AlphaZeroOrBelowLeavesTheSourceAnyOtherFiltersInFull) {
    for (float alpha : {0.0f, -0.0f, -1.0f}) {
        RowScene scene = RedFrames({0.9f}, 0.1f);
        scene.SetMask(Pixel(1, 1, 1, alpha));
        EXPECT_EQ(scene.RunPixel(AllChannels(FilterMethod::Max)).R, 0.1f) << alpha;
    }
    for (float alpha : {FromBits(1u), 0.01f, 1.0f, kNaN}) {
        RowScene scene = RedFrames({0.9f}, 0.1f);
        scene.SetMask(Pixel(0, 0, 0, alpha));
        EXPECT_EQ(scene.RunPixel(AllChannels(FilterMethod::Max)).R, 0.9f) << alpha;
    }
}

// A frame 20 pixels wide whose red channel holds the column number.
class FilterPixelTracking : public OnEachKernelPath {
protected:
    static constexpr int32_t kWidth = 20;

    float SampledColumn(double currentX, double frameX, int32_t x = 0) {
        RowScene scene(kWidth, 1, Pixel(0, 0, -1, 0));
        Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0), new Point(frameX, 0.5));
        for (int32_t column = 0; column < kWidth; ++column) {
            frame.SetPixel(column, 0, Pixel(0, 0, static_cast<float>(column), 0));
        }
        scene.SetCurrentPoint(currentX, 0.5);
        RowControls controls = AllChannels(FilterMethod::Median);
        controls.useTracking = true;
        return scene.RunPixel(controls, x, 0).R;
    }
};

TEST_P(FilterPixelTracking, DisplacementIsClampedIntoTheFrame) {
    EXPECT_EQ(SampledColumn(0.3, 0.3 + 3.7 / kWidth), 0.0f);  // px -3.7
    EXPECT_EQ(SampledColumn(0.5, 0.0), 10.0f);
    EXPECT_EQ(SampledColumn(1.0, 0.0), 19.0f);  // px exactly the width
    EXPECT_EQ(SampledColumn(0.0, -0.645), 12.0f);  // px 12.9
    EXPECT_EQ(SampledColumn(std::numeric_limits<double>::infinity(), 0.0), 19.0f);
    EXPECT_EQ(SampledColumn(-std::numeric_limits<double>::infinity(), 0.0), 0.0f);
}

// Red holds the row number: the current point lies a quarter of the height
// below the frame's, so every row samples the frame two of its eight rows
// further down, and a point a quarter above two rows up, clamped at the edges.
TEST_P(FilterPixelTracking, VerticalDisplacementMovesTheSampleRow) {
    constexpr int32_t kHeight = 8;
    for (double frameY : {0.25, 0.75}) {
        RowScene scene(2, kHeight, Pixel(0, 0, -1, 0));
        Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0), new Point(0.5, frameY));
        for (int32_t row = 0; row < kHeight; ++row) {
            frame.SetPixel(1, row, Pixel(0, 0, static_cast<float>(row), 0));
        }
        scene.SetCurrentPoint(0.5, 0.5);
        RowControls controls = AllChannels(FilterMethod::Median);
        controls.useTracking = true;
        const Image& output = scene.Run(controls);
        const int32_t shift = frameY < 0.5 ? 2 : -2;
        for (int32_t y = 0; y < kHeight; ++y) {
            FltPixel out;
            output.GetPixel(1, y, out);
            EXPECT_EQ(out.R, static_cast<float>(std::clamp(y + shift, 0, kHeight - 1))) << "row " << y;
        }
    }
}

// The same point difference moves a frame twice the source's size by twice
// as many of its own pixels: a quarter is 2 of 8 columns and 4 of 16 rows.
TEST_P(FilterPixelTracking, DisplacementCountsInTheSampledFramesOwnPixels) {
    RowScene scene(4, 8, Pixel(0, 0, -1, 0));
    Image& frame = scene.AddFrameOfSize(8, 16, Pixel(0, 0, 0, 0), new Point(0.25, 0.25));
    for (int32_t row = 0; row < 16; ++row) {
        for (int32_t column = 0; column < 8; ++column) {
            frame.SetPixel(column, row, Pixel(0, 0, static_cast<float>(100 * column + row), 0));
        }
    }
    scene.SetCurrentPoint(0.5, 0.5);
    RowControls controls = AllChannels(FilterMethod::Median);
    controls.useTracking = true;
    const Image& output = scene.Run(controls);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            FltPixel out;
            output.GetPixel(x, y, out);
            EXPECT_EQ(out.R, static_cast<float>(100 * (x + 2) + y + 4)) << x << ", " << y;
        }
    }
}

TEST_P(FilterPixelTracking, SamePointInEveryFrameGivesTheUntrackedResult) {
    constexpr int32_t kWidth = 5;
    constexpr int32_t kHeight = 4;
    RowScene scene(kWidth, kHeight, Pixel(0, 0, 0, 0));
    for (int j = 0; j < 3; ++j) {
        Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0), new Point(0.3, 0.7));
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                const float v = static_cast<float>((x * 7 + y * 3 + j * 5) % 11);
                frame.SetPixel(x, y, Pixel(v, -v, v * 0.5f, 1 - v));
            }
        }
    }
    scene.SetCurrentPoint(0.3, 0.7);
    RowControls controls = AllChannels(FilterMethod::Median);
    std::vector<FltPixel> untracked;
    const Image& plain = scene.Run(controls);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            FltPixel pixel;
            plain.GetPixel(x, y, pixel);
            untracked.push_back(pixel);
        }
    }
    controls.useTracking = true;
    const Image& tracked = scene.Run(controls);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            FltPixel pixel;
            tracked.GetPixel(x, y, pixel);
            EXPECT_TRUE(SameBits(pixel, untracked[static_cast<size_t>(y * kWidth + x)])) << x << ", " << y;
        }
    }
}

// A displacement within a millionth of a pixel of a whole number counts as
// that number; any other still truncates toward zero.
TEST_P(FilterPixelTracking, NearlyWholeDisplacementsCountAsWholeOthersTruncate) {
    EXPECT_EQ(SampledColumn(0.0, -2.5 / kWidth, 4), 6.0f);
    EXPECT_EQ(SampledColumn(0.0, 2.5 / kWidth, 10), 7.0f);
    EXPECT_EQ(SampledColumn(0.0, -(3 - 1e-7) / kWidth, 4), 7.0f);
    EXPECT_EQ(SampledColumn(0.0, (3 - 1e-7) / kWidth, 10), 7.0f);
    EXPECT_EQ(SampledColumn(0.0, -(3 - 1e-5) / kWidth, 4), 6.0f);
    EXPECT_EQ(SampledColumn(0.0, (3 + 1e-5) / kWidth, 10), 6.0f);
}

// Trackers write positions as pixel / size: the difference of two such
// points, scaled back, misses a whole move by a hair (2.9999999999999805,
// -3.000000000000025), and the move still samples the pixel it names, along
// both axes, both ways, at common frame sizes.
TEST_P(FilterPixelTracking, WholePixelMovesWrittenAsPixelOverSizeSampleThatPixel) {
    for (int32_t size : {300, 400, 576, 720, 768, 1080, 1920, 2048, 3840}) {
        for (bool vertical : {false, true}) {
            RowScene scene(vertical ? 1 : size, vertical ? size : 1, Pixel(0, 0, -1, 0));
            Point* framePoint = new Point(0.5, 0.5);
            Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0), framePoint);
            for (int32_t i = 0; i < size; ++i) {
                frame.SetPixel(vertical ? 0 : i, vertical ? i : 0, Pixel(0, 0, static_cast<float>(i), 0));
            }
            RowControls controls = AllChannels(FilterMethod::Median);
            controls.useTracking = true;
            for (int32_t currentPixel : {0, 3, 250}) {
                for (int32_t move : {-9, -3, -2, -1, 1, 2, 3, 9}) {
                    const double current = static_cast<double>(size - currentPixel) / size;
                    const double moved = static_cast<double>(size - currentPixel - move) / size;
                    scene.SetCurrentPoint(current, current);
                    framePoint->X = moved;
                    framePoint->Y = moved;
                    const Image& output = scene.Run(controls);
                    for (int32_t i : {0, 17, size / 2, size - 1}) {
                        FltPixel out;
                        output.GetPixel(vertical ? 0 : i, vertical ? i : 0, out);
                        EXPECT_EQ(out.R, static_cast<float>(std::clamp(i + move, 0, size - 1)))
                            << size << (vertical ? " high" : " wide") << ", from " << currentPixel << " by " << move
                            << " at " << i;
                    }
                }
            }
        }
    }
}

TEST_P(FilterPixelTracking, UndefinedDisplacementSamplesInPlace) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(SampledColumn(inf, inf, 7), 7.0f);
    EXPECT_EQ(SampledColumn(std::numeric_limits<double>::quiet_NaN(), 0.0, 4), 4.0f);
}

TEST_P(FilterPixelTracking, AbsentPointsMeanNoDisplacement) {
    RowScene scene(3, 1, Pixel(0, 0, -1, 0));
    Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0));  // no point of its own
    for (int32_t column = 0; column < 3; ++column) {
        frame.SetPixel(column, 0, Pixel(0, 0, static_cast<float>(column), 0));
    }
    scene.SetCurrentPoint(0.9, 0.0);
    RowControls controls = AllChannels(FilterMethod::Median);
    controls.useTracking = true;
    EXPECT_EQ(scene.RunPixel(controls, 1, 0).R, 1.0f);
}

TEST_P(FilterPixelWindow, EmptyWindowAndUnknownMethodsKeepTheSource) {
    const FltPixel source = Pixel(0.1f, kNaN, -0.0f, 3.0f, 2.0f);
    for (int32_t method : {0, 1, 2, 3, 4}) {
        RowScene empty(2, 1, source);
        EXPECT_TRUE(SameBits(empty.RunPixel(AllChannels(static_cast<FilterMethod>(method)), 1), source)) << method;
    }
    for (int32_t method : {5, -1, std::numeric_limits<int32_t>::max()}) {
        RowScene scene(2, 1, source);
        scene.AddFrame(Pixel(9, 9, 9, 9, 9));
        EXPECT_TRUE(SameBits(scene.RunPixel(AllChannels(static_cast<FilterMethod>(method)), 1), source)) << method;
    }
}

// Windows too wide for a sorting network, whose median is searched for:
// sixteen columns (every lane of the widest path), each a different
// permutation of the values, which are 0 .. n - 1, or powers of two from
// 2^-40 up (guesses interpolated between the ends land far off), or two values
// tied so that the median is the first or the last of a run.
class FilterPixelWideWindow : public OnEachKernelPath {
protected:
    static constexpr int32_t kColumns = 16;

    // Red of frame j at column c is value(rank) with rank a permutation of
    // 0 .. n - 1 that differs per column.
    template <typename Value>
    static FltPixel RunRanks(int n, FilterMethod method, Value value, int32_t column) {
        RowScene scene(kColumns, 1, Pixel(0, 0, -1, 0));
        for (int j = 0; j < n; ++j) {
            Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0));
            for (int32_t c = 0; c < kColumns; ++c) {
                const int rank = (j * 37 + c * 11) % n;
                frame.SetPixel(c, 0, Pixel(0, 0, value(rank), 0));
            }
        }
        return scene.RunPixel(AllChannels(method), column);
    }
};

TEST_P(FilterPixelWideWindow, MedianMaxAndMinOfPermutations) {
    for (int n : {65, 66, 101, 200, 257}) {
        for (int32_t column : {0, 5, kColumns - 1}) {
            const auto linear = [](int rank) { return static_cast<float>(rank); };
            EXPECT_EQ(RunRanks(n, FilterMethod::Median, linear, column).R, static_cast<float>(n / 2)) << n;
            EXPECT_EQ(RunRanks(n, FilterMethod::Max, linear, column).R, static_cast<float>(n - 1)) << n;
            EXPECT_EQ(RunRanks(n, FilterMethod::Min, linear, column).R, 0.0f) << n;
            const auto powers = [](int rank) { return std::ldexp(1.0f, rank - 40); };
            EXPECT_EQ(RunRanks(n, FilterMethod::Median, powers, column).R, std::ldexp(1.0f, n / 2 - 40)) << n;
            const auto negatives = [n](int rank) { return static_cast<float>(rank - n); };
            EXPECT_EQ(RunRanks(n, FilterMethod::Median, negatives, column).R, static_cast<float>(n / 2 - n)) << n;
        }
    }
}

TEST_P(FilterPixelWideWindow, MedianAtTheEdgeOfARunOfTies) {
    for (int n : {65, 66, 101, 200}) {
        for (int32_t column : {0, 7}) {
            // Ranks 0 .. n/2 - 1 are 1: the median is the first 2.
            const auto firstOfRun = [n](int rank) { return rank < n / 2 ? 1.0f : 2.0f; };
            EXPECT_EQ(RunRanks(n, FilterMethod::Median, firstOfRun, column).R, 2.0f) << n;
            // Ranks 0 .. n/2 are 1: the median is the last 1.
            const auto lastOfRun = [n](int rank) { return rank <= n / 2 ? 1.0f : 2.0f; };
            EXPECT_EQ(RunRanks(n, FilterMethod::Median, lastOfRun, column).R, 1.0f) << n;
            // One value alone between two runs.
            const auto alone = [n](int rank) { return rank < n / 2 ? 0.0f : rank == n / 2 ? 0.5f : 3.0f; };
            EXPECT_EQ(RunRanks(n, FilterMethod::Median, alone, column).R, 0.5f) << n;
        }
    }
}

// Channel c (blue 0, green 1, red 2, alpha 3) of frame j of a window of a
// prime number of frames: 10 c plus a step of its own times j, plus 1, modulo
// the frame count. No channel rises with j and no two follow the same order,
// so a pick from sorted samples, or from another channel's frame, is not
// frame j's value.
float ShuffledValue(int channel, int j, int frameCount) {
    static constexpr int kSteps[] = {3, 5, 2, 6};
    return static_cast<float>(10 * channel + (kSteps[channel] * j + 1) % frameCount);
}

RowScene ShuffledFrames(int32_t width, int frameCount) {
    RowScene scene(width, 1, Pixel(-1, -2, -3, -4, -5));
    for (int j = 0; j < frameCount; ++j) {
        scene.AddFrame(Pixel(ShuffledValue(0, j, frameCount), ShuffledValue(1, j, frameCount),
                             ShuffledValue(2, j, frameCount), ShuffledValue(3, j, frameCount), 99));
    }
    return scene;
}

class FilterPixelRandom : public OnEachKernelPath {};

TEST_P(FilterPixelRandom, OneDrawPerFilteredPixelPicksOneFrameForAllChannels) {
    constexpr int32_t kWidth = 64;
    constexpr int kFrames = 7;
    RowScene scene = ShuffledFrames(kWidth, kFrames);
    Image& mask = scene.SetMask(Pixel(1, 1, 1, 1));
    for (int32_t x = 0; x < kWidth; x += 3) {
        mask.SetPixel(x, 0, Pixel(1, 1, 1, 0));  // no draw here
    }
    RowControls controls = AllChannels(FilterMethod::Random);
    controls.channelOn[CHAN_GREEN] = false;

    std::srand(12345);
    const Image& output = scene.Run(controls);
    const int afterRow = std::rand();

    std::srand(12345);
    for (int32_t x = 0; x < kWidth; ++x) {
        FltPixel out;
        output.GetPixel(x, 0, out);
        if (x % 3 == 0) {
            EXPECT_TRUE(SameBits(out, Pixel(-1, -2, -3, -4, -5))) << x;
            continue;
        }
        const int frame = static_cast<int>(static_cast<unsigned>(std::rand()) % kFrames);
        const FltPixel expected = Pixel(ShuffledValue(0, frame, kFrames), -2, ShuffledValue(2, frame, kFrames),
                                        ShuffledValue(3, frame, kFrames), -5);
        EXPECT_TRUE(SameBits(out, expected)) << x << ": " << Describe(out);
    }
    EXPECT_EQ(std::rand(), afterRow);
}

// From 8-bit frames the pick is the picked frame's sample as the frame
// reads it, across whole vectors and the tail of the row.
TEST_P(FilterPixelRandom, PicksFromEightBitFramesAsTheyRead) {
    constexpr int32_t kWidth = 70;
    constexpr int kFrames = 7;
    RowScene scene(kWidth, 1, Pixel(-1, -2, -3, -4, -5));
    std::vector<FltPixel> stored;
    for (int j = 0; j < kFrames; ++j) {
        const auto value = [j](int channel) { return ShuffledValue(channel, j, kFrames) / 37.0f; };
        Image& frame = scene.AddFrameOfType(PixelType::UInt8, Pixel(value(0), value(1), value(2), value(3), 0));
        stored.emplace_back();
        frame.GetPixel(0, 0, stored.back());
    }
    std::srand(4321);
    const Image& output = scene.Run(AllChannels(FilterMethod::Random));
    std::srand(4321);
    for (int32_t x = 0; x < kWidth; ++x) {
        const FltPixel& picked = stored[static_cast<unsigned>(std::rand()) % kFrames];
        FltPixel out;
        output.GetPixel(x, 0, out);
        EXPECT_TRUE(SameBits(out, Pixel(picked.B, picked.G, picked.R, picked.A, -5))) << x << ": " << Describe(out);
    }
}

TEST_P(FilterPixelRandom, DrawsEvenWithEveryChannelOff) {
    RowScene scene = ShuffledFrames(10, 3);
    RowControls controls;
    controls.method = FilterMethod::Random;
    std::srand(99);
    scene.Run(controls);
    const int afterRow = std::rand();
    std::srand(99);
    for (int i = 0; i < 10; ++i) {
        std::rand();
    }
    EXPECT_EQ(std::rand(), afterRow);
}

INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelMethods);
INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelThreshold);
INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelMask);
INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelTracking);
INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelWindow);
INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelWideWindow);
INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelRandom);

}  // namespace
