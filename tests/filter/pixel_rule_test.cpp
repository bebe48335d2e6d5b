// The per-pixel rule through the row kernel, on values whose results are
// known by hand: the methods, the order of NaN and signed zeros, the
// threshold, the mask, the tracking displacement and the random pick.
#include "kernel_paths.h"
#include "test_images.h"

#include "filter/row_filter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <vector>

namespace {

using taviron::RowControls;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

RowControls AllChannels(int32_t method) {
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
    RowScene(int32_t width, int32_t height, const FltPixel& source)
        : source_(MakeFilledImage(width, height, source)), output_(MakeImage(width, height)) {}

    Image& AddFrame(const FltPixel& fill, Point* point = nullptr) {
        frames_.push_back(MakeFilledImage(source_->Width(), source_->Height(), fill));
        points_.emplace_back(point);
        return *frames_.back();
    }
    Image& SetMask(const FltPixel& fill) {
        mask_ = MakeFilledImage(source_->Width(), source_->Height(), fill);
        return *mask_;
    }
    void SetCurrentPoint(double x, double y) { current_.reset(new Point(x, y)); }

    // Runs every row and gives the output.
    const Image& Run(const RowControls& controls) {
        std::vector<const Image*> frames;
        std::vector<const Point*> points;
        for (size_t j = 0; j < frames_.size(); ++j) {
            frames.push_back(frames_[j].get());
            points.push_back(points_[j].get());
        }
        taviron::RowJob job;
        job.source = source_.get();
        job.output = output_.get();
        job.mask = mask_.get();
        job.currentPoint = current_.get();
        job.frames = frames.data();
        job.framePoints = points.data();
        job.frameCount = frames.size();
        job.controls = controls;
        for (int32_t y = 0; y < source_->Height(); ++y) {
            taviron::FilterRow(job, y);
        }
        return *output_;
    }

    FltPixel RunPixel(const RowControls& controls, int32_t x = 0, int32_t y = 0) {
        FltPixel pixel;
        Run(controls).GetPixel(x, y, pixel);
        return pixel;
    }

private:
    ImageRef source_;
    ImageRef output_;
    ImageRef mask_;
    PointRef current_;
    std::vector<ImageRef> frames_;
    std::vector<PointRef> points_;
};

// Frames whose red channel takes the given values in window order.
RowScene RedFrames(const std::vector<float>& reds, float sourceRed = 0.0f) {
    RowScene scene(1, 1, Pixel(0, 0, sourceRed, 0));
    for (float red : reds) {
        scene.AddFrame(Pixel(0, 0, red, 0));
    }
    return scene;
}

float RedOf(std::vector<float> reds, int32_t method) {
    return RedFrames(reds).RunPixel(AllChannels(method)).R;
}

TEST(FilterPixelMethods, MaxMinAverageAndMedianOfThree) {
    const std::vector<float> reds = {0.2f, 0.9f, 0.5f};
    EXPECT_EQ(RedOf(reds, taviron::METHOD_MAX), 0.9f);
    EXPECT_EQ(RedOf(reds, taviron::METHOD_MIN), 0.2f);
    EXPECT_EQ(RedOf(reds, taviron::METHOD_MEDIAN), 0.5f);
    const float sum = (0.2f + 0.9f) + 0.5f;
    EXPECT_EQ(Bits(RedOf(reds, taviron::METHOD_AVERAGE)), Bits(sum / 3.0f));
}

TEST(FilterPixelMethods, MedianOfAnEvenWindowIsTheUpperMiddle) {
    EXPECT_EQ(RedOf({0.7f, 0.3f}, taviron::METHOD_MEDIAN), 0.7f);
    EXPECT_EQ(RedOf({4.0f, 1.0f, 3.0f, 2.0f}, taviron::METHOD_MEDIAN), 3.0f);
    EXPECT_EQ(RedOf({5.0f, 1.0f, 4.0f, 2.0f, 3.0f}, taviron::METHOD_MEDIAN), 3.0f);
}

TEST(FilterPixelMethods, NaNAndSignedZerosFollowTotalOrder) {
    const float negativeNaN = FromBits(0xffc00000u);
    const std::vector<float> reds = {kNaN, 1.0f, negativeNaN, -kInf, kInf};
    EXPECT_EQ(Bits(RedOf(reds, taviron::METHOD_MIN)), 0xffc00000u);
    EXPECT_EQ(Bits(RedOf(reds, taviron::METHOD_MAX)), Bits(kNaN));
    EXPECT_EQ(RedOf(reds, taviron::METHOD_MEDIAN), 1.0f);
    EXPECT_EQ(Bits(RedOf({0.0f, -0.0f}, taviron::METHOD_MIN)), 0x80000000u);
    EXPECT_EQ(Bits(RedOf({-0.0f, 0.0f}, taviron::METHOD_MAX)), 0u);
}

TEST(FilterPixelMethods, AverageOverNaNIsTheOneQuietNaN) {
    EXPECT_EQ(Bits(RedOf({FromBits(0xfff00001u), 1.0f, FromBits(0x7fc00123u)}, taviron::METHOD_AVERAGE)), 0x7fc00000u);
    EXPECT_EQ(Bits(RedOf({kInf, -kInf}, taviron::METHOD_AVERAGE)), 0x7fc00000u);
}

TEST(FilterPixelMethods, EachChannelIsOrderedByItself) {
    RowScene scene(1, 1, Pixel(0, 0, 0, 0));
    scene.AddFrame(Pixel(1, 0, 3, 0));
    scene.AddFrame(Pixel(2, 0, 1, 0));
    scene.AddFrame(Pixel(3, 0, 2, 0));
    const FltPixel out = scene.RunPixel(AllChannels(taviron::METHOD_MEDIAN));
    EXPECT_EQ(out.B, 2.0f);  // from the second frame
    EXPECT_EQ(out.R, 2.0f);  // from the third
}

TEST(FilterPixelMethods, DisabledChannelsAndDepthKeepTheSource) {
    RowScene scene(2, 2, Pixel(0.1f, 0.2f, 0.3f, 0.4f, 7.0f));
    scene.AddFrame(Pixel(5, 5, 5, 5, 9));
    RowControls controls = AllChannels(taviron::METHOD_AVERAGE);
    controls.channelOn[CHAN_GREEN] = false;
    controls.channelOn[CHAN_ALPHA] = false;
    const FltPixel out = scene.RunPixel(controls, 1, 1);
    EXPECT_TRUE(SameBits(out, Pixel(5, 0.2f, 5, 0.4f, 7.0f))) << Describe(out);
}

TEST(FilterPixelThreshold, RestoresOnlyChangesStrictlyBelowIt) {
    RowControls controls = AllChannels(taviron::METHOD_MEDIAN);
    controls.threshold = 0.25;
    EXPECT_EQ(RedFrames({0.75f}, 0.5f).RunPixel(controls).R, 0.75f);
    EXPECT_EQ(RedFrames({0.625f}, 0.5f).RunPixel(controls).R, 0.5f);
    controls.threshold = 0.0;
    EXPECT_EQ(RedFrames({0.5f}, 0.5f).RunPixel(controls).R, 0.5f);
}

TEST(FilterPixelMask, AlphaZeroOrBelowLeavesTheSourceAnyOtherFiltersInFull) {
    for (float alpha : {0.0f, -0.0f, -1.0f}) {
        RowScene scene = RedFrames({0.9f}, 0.1f);
        scene.SetMask(Pixel(1, 1, 1, alpha));
        EXPECT_EQ(scene.RunPixel(AllChannels(taviron::METHOD_MAX)).R, 0.1f) << alpha;
    }
    for (float alpha : {FromBits(1u), 0.01f, 1.0f, kNaN}) {
        RowScene scene = RedFrames({0.9f}, 0.1f);
        scene.SetMask(Pixel(0, 0, 0, alpha));
        EXPECT_EQ(scene.RunPixel(AllChannels(taviron::METHOD_MAX)).R, 0.9f) << alpha;
    }
}

// A frame 20 pixels wide whose red channel holds the column number.
class FilterPixelTracking : public ::testing::Test {
protected:
    static constexpr int32_t kWidth = 20;

    float SampledColumn(double currentX, double frameX, int32_t x = 0) {
        RowScene scene(kWidth, 1, Pixel(0, 0, -1, 0));
        Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0), new Point(frameX, 0.5));
        for (int32_t column = 0; column < kWidth; ++column) {
            frame.SetPixel(column, 0, Pixel(0, 0, static_cast<float>(column), 0));
        }
        scene.SetCurrentPoint(currentX, 0.5);
        RowControls controls = AllChannels(taviron::METHOD_MEDIAN);
        controls.useTracking = true;
        return scene.RunPixel(controls, x, 0).R;
    }
};

TEST_F(FilterPixelTracking, DisplacementIsClampedIntoTheFrame) {
    EXPECT_EQ(SampledColumn(0.3, 0.3 + 3.7 / kWidth), 0.0f);  // px -3.7
    EXPECT_EQ(SampledColumn(0.5, 0.0), 10.0f);
    EXPECT_EQ(SampledColumn(1.0, 0.0), 19.0f);  // px exactly the width
    EXPECT_EQ(SampledColumn(0.0, -0.645), 12.0f);  // px 12.9
    EXPECT_EQ(SampledColumn(std::numeric_limits<double>::infinity(), 0.0), 19.0f);
    EXPECT_EQ(SampledColumn(-std::numeric_limits<double>::infinity(), 0.0), 0.0f);
}

TEST_F(FilterPixelTracking, UndefinedDisplacementSamplesInPlace) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(SampledColumn(inf, inf, 7), 7.0f);
    EXPECT_EQ(SampledColumn(std::numeric_limits<double>::quiet_NaN(), 0.0, 4), 4.0f);
}

TEST_F(FilterPixelTracking, AbsentPointsMeanNoDisplacement) {
    RowScene scene(3, 1, Pixel(0, 0, -1, 0));
    Image& frame = scene.AddFrame(Pixel(0, 0, 0, 0));  // no point of its own
    for (int32_t column = 0; column < 3; ++column) {
        frame.SetPixel(column, 0, Pixel(0, 0, static_cast<float>(column), 0));
    }
    scene.SetCurrentPoint(0.9, 0.0);
    RowControls controls = AllChannels(taviron::METHOD_MEDIAN);
    controls.useTracking = true;
    EXPECT_EQ(scene.RunPixel(controls, 1, 0).R, 1.0f);
}

TEST(FilterPixelWindow, EmptyWindowAndUnknownMethodsKeepTheSource) {
    const FltPixel source = Pixel(0.1f, kNaN, -0.0f, 3.0f, 2.0f);
    for (int32_t method : {0, 1, 2, 3, 4}) {
        RowScene empty(2, 1, source);
        EXPECT_TRUE(SameBits(empty.RunPixel(AllChannels(method), 1), source)) << method;
    }
    for (int32_t method : {5, -1, std::numeric_limits<int32_t>::max()}) {
        RowScene scene(2, 1, source);
        scene.AddFrame(Pixel(9, 9, 9, 9, 9));
        EXPECT_TRUE(SameBits(scene.RunPixel(AllChannels(method), 1), source)) << method;
    }
}

// Frame j holds j in blue, 10 + j in green, 20 + j in red, 30 + j in alpha.
RowScene NumberedFrames(int32_t width, int frameCount) {
    RowScene scene(width, 1, Pixel(-1, -2, -3, -4, -5));
    for (int j = 0; j < frameCount; ++j) {
        const float f = static_cast<float>(j);
        scene.AddFrame(Pixel(f, 10 + f, 20 + f, 30 + f, 99));
    }
    return scene;
}

class FilterPixelRandom : public OnEachKernelPath {};

TEST_P(FilterPixelRandom, OneDrawPerFilteredPixelPicksOneFrameForAllChannels) {
    constexpr int32_t kWidth = 64;
    constexpr int kFrames = 7;
    RowScene scene = NumberedFrames(kWidth, kFrames);
    Image& mask = scene.SetMask(Pixel(1, 1, 1, 1));
    for (int32_t x = 0; x < kWidth; x += 3) {
        mask.SetPixel(x, 0, Pixel(1, 1, 1, 0));  // no draw here
    }
    RowControls controls = AllChannels(taviron::METHOD_RANDOM);
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
        const float frame = static_cast<float>(static_cast<unsigned>(std::rand()) % kFrames);
        EXPECT_TRUE(SameBits(out, Pixel(frame, -2, 20 + frame, 30 + frame, -5))) << x << ": " << Describe(out);
    }
    EXPECT_EQ(std::rand(), afterRow);
}

TEST_P(FilterPixelRandom, DrawsEvenWithEveryChannelOff) {
    RowScene scene = NumberedFrames(10, 3);
    RowControls controls;
    controls.method = taviron::METHOD_RANDOM;
    std::srand(99);
    scene.Run(controls);
    const int afterRow = std::rand();
    std::srand(99);
    for (int i = 0; i < 10; ++i) {
        std::rand();
    }
    EXPECT_EQ(std::rand(), afterRow);
}

INSTANTIATE_ON_EACH_KERNEL_PATH(FilterPixelRandom);

}  // namespace
