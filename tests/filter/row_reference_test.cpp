// The row kernel against the plain reference, bit for bit, on randomised
// scenes full of awkward values: NaN of both signs and with payloads,
// infinities, signed zeros, denormals, ties, masks at and around zero,
// moving and absent track points, frames and masks of other sizes.
#include "reference_filter.h"
#include "test_images.h"

#include "filter/row_filter.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <sstream>

namespace {

class AwkwardValues {
public:
    explicit AwkwardValues(uint32_t seed) : rng_(seed) {}

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    double Uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(rng_); }

    template <typename T, size_t N>
    T OneOf(const T (&choices)[N]) {
        return choices[Between(0, static_cast<int>(N) - 1)];
    }

    float Sample() {
        static const float ties[] = {0.0f, 0.25f, 0.5f, 1.0f, -1.0f};
        static const uint32_t special[] = {
            0x7fc00000u, 0xffc00000u,  // quiet NaN, both signs
            0x7fc00123u, 0xfff00001u,  // quiet NaN with payloads
            0x7f800001u, 0xff800123u,  // signalling NaN
            0x7f800000u, 0xff800000u,  // infinities
            0x00000000u, 0x80000000u,  // signed zeros
            0x00000001u, 0x807fffffu,  // denormals
            0x7f7fffffu, 0xff7fffffu,  // largest finite
        };
        const int kind = Between(0, 9);
        if (kind < 5) {
            return OneOf(ties);
        }
        if (kind < 7) {
            return static_cast<float>(Uniform(-2.0, 2.0));
        }
        return FromBits(OneOf(special));
    }

    FltPixel SamplePixel() { return Pixel(Sample(), Sample(), Sample(), Sample(), Sample()); }

    float MaskAlpha() {
        static const uint32_t alphas[] = {
            0x00000000u, 0x80000000u, 0xbf800000u,  // 0, -0, -1: untouched
            0x00000001u, 0x3c23d70au, 0x3f800000u,  // tiny, 0.01, 1: filtered
            0x7fc00000u, 0xffc00000u,               // NaN: filtered
        };
        return FromBits(OneOf(alphas));
    }

    double Coordinate() {
        if (Chance(0.05)) {
            static const double specials[] = {std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity(),
                                              std::numeric_limits<double>::quiet_NaN()};
            return OneOf(specials);
        }
        return Uniform(-1.0, 2.0);
    }

    double Threshold() {
        static const double thresholds[] = {0.0, 0.0, 0.125, 0.25, 0.5, 3.0, 1e30, -1.0,
                                            std::numeric_limits<double>::quiet_NaN()};
        return OneOf(thresholds);
    }

private:
    std::mt19937 rng_;
};

ImageRef RandomImage(AwkwardValues& values, int32_t width, int32_t height) {
    ImageRef image = MakeImage(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            image->SetPixel(x, y, values.SamplePixel());
        }
    }
    return image;
}

// One randomised scene: everything a row reads.
struct Scene {
    ImageRef source;
    ImageRef mask;
    PointRef currentPoint;
    std::vector<ImageRef> frames;
    std::vector<PointRef> framePoints;
    reference::Controls controls;
};

Scene MakeScene(uint32_t seed, int frameCount) {
    AwkwardValues values(seed);
    Scene scene;
    const bool wideWindow = frameCount > 40;
    const int32_t width = wideWindow ? 3 : values.Between(1, 9);
    const int32_t height = wideWindow ? 2 : values.Between(1, 5);
    scene.source = RandomImage(values, width, height);

    const int maskKind = values.Between(0, 9);
    if (maskKind >= 3) {
        const bool otherSize = maskKind >= 8;
        const int32_t maskWidth = otherSize ? values.Between(1, 12) : width;
        const int32_t maskHeight = otherSize ? values.Between(1, 7) : height;
        scene.mask = MakeImage(maskWidth, maskHeight);
        for (int32_t y = 0; y < maskHeight; ++y) {
            for (int32_t x = 0; x < maskWidth; ++x) {
                scene.mask->SetPixel(x, y, Pixel(1.0f, 1.0f, 1.0f, values.MaskAlpha()));
            }
        }
    }
    if (!values.Chance(0.15)) {
        scene.currentPoint.reset(new Point(values.Coordinate(), values.Coordinate()));
    }
    for (int j = 0; j < frameCount; ++j) {
        const bool otherSize = values.Chance(0.3);
        scene.frames.push_back(RandomImage(values, otherSize ? values.Between(1, 12) : width,
                                           otherSize ? values.Between(1, 7) : height));
        if (!values.Chance(0.15)) {
            scene.framePoints.emplace_back(new Point(values.Coordinate(), values.Coordinate()));
        } else {
            scene.framePoints.emplace_back();
        }
    }
    scene.controls.red = values.Chance(0.8);
    scene.controls.green = values.Chance(0.8);
    scene.controls.blue = values.Chance(0.8);
    scene.controls.alpha = values.Chance(0.8);
    scene.controls.threshold = values.Threshold();
    scene.controls.useTracking = values.Chance(0.5);
    return scene;
}

ImageRef RunRows(const Scene& scene) {
    std::vector<const Image*> frames;
    std::vector<const Point*> points;
    for (size_t j = 0; j < scene.frames.size(); ++j) {
        frames.push_back(scene.frames[j].get());
        points.push_back(scene.framePoints[j].get());
    }
    ImageRef output = MakeImage(scene.source->Width(), scene.source->Height());
    taviron::RowJob job;
    job.source = scene.source.get();
    job.output = output.get();
    job.mask = scene.mask.get();
    job.currentPoint = scene.currentPoint.get();
    job.frames = frames.data();
    job.framePoints = points.data();
    job.frameCount = frames.size();
    job.controls.channelOn[CHAN_RED] = scene.controls.red;
    job.controls.channelOn[CHAN_GREEN] = scene.controls.green;
    job.controls.channelOn[CHAN_BLUE] = scene.controls.blue;
    job.controls.channelOn[CHAN_ALPHA] = scene.controls.alpha;
    job.controls.threshold = scene.controls.threshold;
    job.controls.useTracking = scene.controls.useTracking;
    job.controls.method = scene.controls.method;
    for (int32_t y = 0; y < scene.source->Height(); ++y) {
        taviron::FilterRow(job, y);
    }
    return output;
}

// The first pixel where the rows and the reference differ, or "".
std::string FirstDifference(const Scene& scene) {
    reference::Scene plain;
    plain.source = scene.source.get();
    plain.mask = scene.mask.get();
    plain.currentPoint = scene.currentPoint.get();
    for (size_t j = 0; j < scene.frames.size(); ++j) {
        plain.frames.push_back(scene.frames[j].get());
        plain.framePoints.push_back(scene.framePoints[j].get());
    }
    const ImageRef output = RunRows(scene);
    for (int32_t y = 0; y < scene.source->Height(); ++y) {
        for (int32_t x = 0; x < scene.source->Width(); ++x) {
            FltPixel got;
            output->GetPixel(x, y, got);
            const FltPixel expected = reference::FilterPixel(plain, scene.controls, x, y);
            if (!SameBits(got, expected)) {
                std::ostringstream text;
                text << "method " << scene.controls.method << ", " << scene.frames.size() << " frames, pixel (" << x
                     << ", " << y << "): got " << Describe(got) << ", expected " << Describe(expected);
                return text.str();
            }
        }
    }
    return "";
}

void ExpectRowsMatchReference(int frameCount, uint32_t seed) {
    Scene scene = MakeScene(seed, frameCount);
    // Every method that the reference states, and numbers that name none.
    for (int32_t method : {0, 1, 2, 3, 5, -1, std::numeric_limits<int32_t>::min()}) {
        scene.controls.method = method;
        EXPECT_EQ(FirstDifference(scene), "") << "seed " << seed;
    }
}

TEST(FilterRowReference, EveryWindowFromEmptyToForty) {
    for (int frameCount = 0; frameCount <= 40; ++frameCount) {
        for (uint32_t variant = 0; variant < 3; ++variant) {
            ExpectRowsMatchReference(frameCount, 1000u * static_cast<uint32_t>(frameCount) + variant);
        }
    }
}

TEST(FilterRowReference, WideWindows) {
    for (int frameCount : {100, 257, 301}) {
        ExpectRowsMatchReference(frameCount, 77u + static_cast<uint32_t>(frameCount));
    }
}

}  // namespace
