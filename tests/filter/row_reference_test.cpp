// The row kernel against the plain reference, bit for bit, on randomised
// scenes full of awkward values: NaN of both signs and with payloads,
// infinities, signed zeros, denormals, ties, masks at and around zero,
// moving and absent track points, frames and masks of other sizes and pixel
// types; rows that span several vectors and tiles. Every kernel path. The
// rows of each test share one scratch pool, so that buffers grown for one
// scene, and still holding its samples, serve the next.
#include "kernel_paths.h"

#include "support/filter_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

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

    // For 8-bit images: every byte value as likely as the others, and now
    // and then an awkward value (most of which become 0 or 255).
    float ByteSample() { return Chance(0.3) ? Sample() : static_cast<float>(Between(0, 255)) / 255.0f; }
    FltPixel BytePixel() { return Pixel(ByteSample(), ByteSample(), ByteSample(), ByteSample(), Sample()); }

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

// Rows of a scene: the sizes drawn, whether images other than the output
// take every pixel type rather than float alone, whether every frame is
// 8-bit instead, and whether those frames show a still view (StillView).
struct SceneShape {
    int32_t minWidth;
    int32_t maxWidth;
    int32_t minHeight;
    int32_t maxHeight;
    bool mixedTypes;
    bool eightBitFrames = false;
    bool stillView = false;
};

constexpr SceneShape kSmallRows = {1, 9, 1, 5, false};
constexpr SceneShape kWideWindowRows = {3, 3, 2, 2, false};

PixelType DrawType(AwkwardValues& values, const SceneShape& shape) {
    static const PixelType types[] = {PixelType::Float, PixelType::Float, PixelType::UInt8, PixelType::UInt16,
                                      PixelType::Half};
    return shape.mixedTypes ? values.OneOf(types) : PixelType::Float;
}

// Another size than the source's, for frames and masks: small rows draw from
// a fixed range, wide ones around their own width.
int32_t OtherWidth(AwkwardValues& values, int32_t width) { return values.Between(1, width < 10 ? 12 : width + 20); }

// `spreadBytes`: samples drawn for 8-bit frames (BytePixel).
ImageRef RandomImage(AwkwardValues& values, int32_t width, int32_t height, PixelType type = PixelType::Float,
                     bool spreadBytes = false) {
    ImageRef image(new Image(width, height, type));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            image->SetPixel(x, y, spreadBytes ? values.BytePixel() : values.SamplePixel());
        }
    }
    return image;
}

// 8-bit frames of a still view, as a locked-off camera gives them: each
// sample stays within a spread of its own over a level of its own from
// frame to frame. Levels crowd the ends and the middle of the byte range
// (an offset from the lowest sample running past 255, a spread across 127
// and 128); spreads are none, a level or two, a few, or the whole range,
// shared by runs of columns, so that whole vectors of lanes agree, and now
// and then drawn for one sample, so that one lane differs.
class StillView {
public:
    StillView(AwkwardValues& values, int32_t width, int32_t height) : width_(width), height_(height) {
        static const int levels[] = {0, 1, 2, 126, 127, 128, 129, 253, 254, 255};
        static const int spreads[] = {0, 0, 1, 2, 3, 7, 16, 255};
        for (int32_t row = 0; row < height * 4; ++row) {
            int spread = 0;
            for (int32_t x = 0, runLeft = 0; x < width; ++x, --runLeft) {
                if (runLeft == 0) {
                    runLeft = values.Chance(0.5) ? width : values.Between(1, 40);
                    spread = values.OneOf(spreads);
                }
                levels_.push_back(values.Chance(0.7) ? values.OneOf(levels) : values.Between(0, 255));
                spreads_.push_back(values.Chance(0.02) ? values.OneOf(spreads) : spread);
            }
        }
    }

    // One frame of the view; a frame of another size repeats it.
    ImageRef Frame(AwkwardValues& values, int32_t width, int32_t height) const {
        ImageRef image(new Image(width, height, PixelType::UInt8));
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                float samples[4];
                for (int channel = 0; channel < 4; ++channel) {
                    const size_t at = (static_cast<size_t>(channel * height_ + y % height_) * width_) + x % width_;
                    const int level = levels_[at] + values.Between(0, spreads_[at]);
                    samples[channel] = static_cast<float>(std::min(255, std::max(0, level))) / 255.0f;
                }
                image->SetPixel(x, y, Pixel(samples[0], samples[1], samples[2], samples[3]));
            }
        }
        return image;
    }

private:
    int32_t width_;
    int32_t height_;
    std::vector<int> levels_;
    std::vector<int> spreads_;
};

// One randomised scene: everything a row reads.
struct Scene : FilterScene {
    reference::Controls controls;
};

Scene MakeScene(uint32_t seed, int frameCount, const SceneShape& shape) {
    AwkwardValues values(seed);
    Scene scene;
    const int32_t width = values.Between(shape.minWidth, shape.maxWidth);
    const int32_t height = values.Between(shape.minHeight, shape.maxHeight);
    scene.source = RandomImage(values, width, height, DrawType(values, shape));

    const int maskKind = values.Between(0, 9);
    if (maskKind >= 3) {
        const bool otherSize = maskKind >= 8;
        const int32_t maskWidth = otherSize ? OtherWidth(values, width) : width;
        const int32_t maskHeight = otherSize ? values.Between(1, 7) : height;
        scene.mask.reset(new Image(maskWidth, maskHeight, DrawType(values, shape)));
        for (int32_t y = 0; y < maskHeight; ++y) {
            for (int32_t x = 0; x < maskWidth; ++x) {
                scene.mask->SetPixel(x, y, Pixel(1.0f, 1.0f, 1.0f, values.MaskAlpha()));
            }
        }
    }
    if (!values.Chance(0.15)) {
        scene.currentPoint.reset(new Point(values.Coordinate(), values.Coordinate()));
    }
    std::optional<StillView> view;
    if (shape.stillView) {
        view.emplace(values, width, height);
    }
    for (int j = 0; j < frameCount; ++j) {
        const bool otherSize = values.Chance(shape.stillView ? 0.05 : 0.3);
        // The height drawn first, as the scenes of the seeds here were drawn.
        const int32_t frameHeight = otherSize ? values.Between(1, 7) : height;
        const int32_t frameWidth = otherSize ? OtherWidth(values, width) : width;
        scene.frames.push_back(view ? view->Frame(values, frameWidth, frameHeight)
                                               : RandomImage(values, frameWidth, frameHeight,
                                                             shape.eightBitFrames ? PixelType::UInt8
                                                                                  : DrawType(values, shape),
                                                             shape.eightBitFrames));
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

ImageRef RunRows(const Scene& scene, PixelType outputType, taviron::ScratchPool& scratch) {
    ImageRef output(new Image(scene.source->Width(), scene.source->Height(), outputType));
    taviron::RowControls controls;
    controls.channelOn[CHAN_RED] = scene.controls.red;
    controls.channelOn[CHAN_GREEN] = scene.controls.green;
    controls.channelOn[CHAN_BLUE] = scene.controls.blue;
    controls.channelOn[CHAN_ALPHA] = scene.controls.alpha;
    controls.threshold = scene.controls.threshold;
    controls.useTracking = scene.controls.useTracking;
    controls.method = static_cast<taviron::FilterMethod>(scene.controls.method);
    FilterRows(scene, *output, controls, scratch);
    return output;
}

// The pixel as an image of the given type holds it.
FltPixel Stored(const FltPixel& pixel, PixelType type) {
    Image image(1, 1, type);
    image.SetPixel(0, 0, pixel);
    FltPixel stored;
    image.GetPixel(0, 0, stored);
    return stored;
}

// The first pixel where the rows and the reference differ, or "". The
// reference draws no random pick: where every sample a pixel reads is the
// same, `expectedAs` names a method that chooses what any draw would.
std::string FirstDifference(const Scene& scene, taviron::ScratchPool& scratch,
                            PixelType outputType = PixelType::Float,
                            std::optional<int32_t> expectedAs = std::nullopt) {
    const reference::Scene plain = ReferenceScene(scene);
    reference::Controls expected = scene.controls;
    expected.method = expectedAs.value_or(expected.method);
    const ImageRef output = RunRows(scene, outputType, scratch);
    for (int32_t y = 0; y < scene.source->Height(); ++y) {
        for (int32_t x = 0; x < scene.source->Width(); ++x) {
            FltPixel got;
            output->GetPixel(x, y, got);
            const FltPixel want = Stored(reference::FilterPixel(plain, expected, x, y), outputType);
            if (!SameBits(got, want)) {
                std::ostringstream text;
                text << "method " << scene.controls.method << ", " << scene.frames.size() << " frames, pixel (" << x
                     << ", " << y << "): got " << Describe(got) << ", expected " << Describe(want);
                return text.str();
            }
        }
    }
    return "";
}

void ExpectRowsMatchReference(int frameCount, uint32_t seed, const SceneShape& shape,
                              taviron::ScratchPool& scratch) {
    Scene scene = MakeScene(seed, frameCount, shape);
    // Every method that the reference states, and numbers that name none.
    for (int32_t method : {0, 1, 2, 3, 5, -1, std::numeric_limits<int32_t>::min()}) {
        scene.controls.method = method;
        EXPECT_EQ(FirstDifference(scene, scratch), "") << "seed " << seed;
    }
}

class FilterRowReference : public OnEachKernelPath {
protected:
    void ExpectMatch(int frameCount, uint32_t seed, const SceneShape& shape) {
        ExpectRowsMatchReference(frameCount, seed, shape, scratch_);
    }

    taviron::ScratchPool scratch_;
};

TEST_P(FilterRowReference, EveryWindowFromEmptyToForty) {
    for (int frameCount = 0; frameCount <= 40; ++frameCount) {
        for (uint32_t variant = 0; variant < 3; ++variant) {
            ExpectMatch(frameCount, 1000u * static_cast<uint32_t>(frameCount) + variant, kSmallRows);
        }
    }
}

TEST_P(FilterRowReference, WideWindows) {
    for (int frameCount : {100, 257, 301}) {
        ExpectMatch(frameCount, 77u + static_cast<uint32_t>(frameCount), kWideWindowRows);
    }
}

// Rows of several vectors, with the vector tail, frames read straight from
// their planes and frames converted from every pixel type.
TEST_P(FilterRowReference, WideRowsOfEveryPixelType) {
    constexpr SceneShape shape = {15, 70, 1, 2, true};
    for (int frameCount : {1, 2, 3, 7, 9, 16, 25, 32, 33, 40}) {
        for (uint32_t variant = 0; variant < 2; ++variant) {
            ExpectMatch(frameCount, 5000u + 100u * static_cast<uint32_t>(frameCount) + variant, shape);
        }
    }
}

// The median of windows around the widest selection networks (64 frames)
// and of those the search takes, where a tie of many keys is common.
TEST_P(FilterRowReference, WindowsAroundTheWidestNetworks) {
    constexpr SceneShape shape = {1, 20, 1, 2, false};
    for (int frameCount : {41, 42, 63, 64, 65, 66}) {
        for (uint32_t variant = 0; variant < 2; ++variant) {
            ExpectMatch(frameCount, 7000u + 10u * static_cast<uint32_t>(frameCount) + variant, shape);
        }
    }
}

// Windows wide enough that a row is filtered in several tiles; the wider
// first, so that the narrower one's rows find every buffer larger than they
// need.
TEST_P(FilterRowReference, WideWindowsOverSeveralTiles) {
    constexpr SceneShape shape = {40, 120, 1, 1, true};
    for (int frameCount : {501, 301}) {
        ExpectMatch(frameCount, 9000u + static_cast<uint32_t>(frameCount), shape);
    }
}

// Windows of 8-bit frames, whose samples the kernel takes as stored for the
// methods that choose one: even and odd windows, the widest that fits its
// byte counters and one past it, rows that end inside a vector, rows of
// several tiles, frames of other sizes read at clamped columns, tracked
// frames read displaced.
TEST_P(FilterRowReference, WindowsOfEightBitFrames) {
    constexpr SceneShape rows = {1, 140, 1, 3, true, true};
    for (int frameCount : {1, 2, 3, 4, 5, 7, 8, 9, 16, 25, 31, 32, 33, 40, 41, 63, 64, 65, 80, 81}) {
        for (uint32_t variant = 0; variant < 3; ++variant) {
            ExpectMatch(frameCount, 13000u + 10u * static_cast<uint32_t>(frameCount) + variant, rows);
        }
    }
    constexpr SceneShape severalTiles = {500, 700, 1, 1, true, true};
    for (int frameCount : {81, 255, 256}) {
        ExpectMatch(frameCount, 14000u + static_cast<uint32_t>(frameCount), severalTiles);
    }
}

// Windows of 8-bit frames of a still view, where most samples of a pixel
// lie a few levels apart: all alike, apart in the lowest bit alone, a few
// levels about 0, 127 and 255, the whole range; in every lane of a vector
// or in one. Windows the byte networks take and windows the search takes,
// up to the widest.
TEST_P(FilterRowReference, WindowsOfStillEightBitFrames) {
    constexpr SceneShape rows = {1, 140, 1, 3, true, true, true};
    for (int frameCount : {3, 9, 25, 40, 41, 42, 64, 81, 128, 255}) {
        for (uint32_t variant = 0; variant < 3; ++variant) {
            ExpectMatch(frameCount, 15000u + 10u * static_cast<uint32_t>(frameCount) + variant, rows);
        }
    }
}

// An output of another pixel type takes each filtered pixel as it would
// take it from SetPixel, depth included.
TEST_P(FilterRowReference, OutputsOfOtherPixelTypes) {
    constexpr SceneShape shape = {15, 40, 1, 2, true};
    for (PixelType type : {PixelType::UInt8, PixelType::UInt16, PixelType::Half}) {
        Scene scene = MakeScene(12345u + static_cast<uint32_t>(type), 5, shape);
        for (int32_t method : {0, 1, 2, 3, 7}) {
            scene.controls.method = method;
            EXPECT_EQ(FirstDifference(scene, scratch_, type), "");
        }
    }
}

// Points as a tracker writes them, pixel / size: whole moves come back a
// hair off whole numbers of pixels, in frames of the source's size; frames of
// other sizes scale the same points to moves between pixels.
TEST_P(FilterRowReference, TrackerPointsWrittenAsPixelOverSize) {
    constexpr SceneShape shape = {15, 70, 1, 9, true};
    for (uint32_t seed = 300; seed < 310; ++seed) {
        Scene scene = MakeScene(seed, 9, shape);
        const double width = scene.source->Width();
        const double height = scene.source->Height();
        scene.currentPoint.reset(new Point((width - 4) / width, (height - 1) / height));
        for (size_t j = 0; j < scene.frames.size(); ++j) {
            const double move = static_cast<double>(j) - 4;
            scene.framePoints[j].reset(new Point((width - 4 - 3 * move) / width, (height - 1 - move) / height));
        }
        scene.controls.useTracking = true;
        for (int32_t method : {0, 1, 2, 3}) {
            scene.controls.method = method;
            EXPECT_EQ(FirstDifference(scene, scratch_), "") << "seed " << seed;
        }
    }
}

// Channels that hold one value throughout in every frame of the window (a
// filled alpha, a constant channel, found as a reader finds them) take the
// kernel's result for those values instead of their samples: bit for bit
// the reference, for values of every kind (n times 0.1 summed is not 0.1
// times n), one value in every frame or one per frame, beside channels
// uniform in every frame but one, and under Random where the channel is one
// value throughout.
TEST_P(FilterRowReference, ChannelsUniformInEveryFrame) {
    const SceneShape shapes[] = {kSmallRows, {15, 40, 1, 2, true}};
    for (const SceneShape& shape : shapes) {
        for (int frameCount : {1, 2, 3, 5, 8, 25, 64, 65, 100}) {
            for (uint32_t variant = 0; variant < 3; ++variant) {
                const uint32_t seed = 11000u + 10u * static_cast<uint32_t>(frameCount) + variant + (shape.mixedTypes ? 5000u : 0u);
                Scene scene = MakeScene(seed, frameCount, shape);
                AwkwardValues values(seed + 1);
                bool everyEnabledChannelOneValue = !shape.mixedTypes;
                const bool enabled[] = {scene.controls.blue, scene.controls.green, scene.controls.red,
                                        scene.controls.alpha};
                for (int channel = 0; channel < 4; ++channel) {
                    enum Kind { AsDrawn, OneValue, ValuePerFrame, AllButOneFrame };
                    const Kind kind = static_cast<Kind>(values.Between(0, 3));
                    everyEnabledChannelOneValue = everyEnabledChannelOneValue && (!enabled[channel] || kind == OneValue);
                    if (kind == AsDrawn) continue;
                    const float shared = values.Chance(0.3) ? 0.1f : values.Sample();
                    const int odd = values.Between(0, frameCount - 1);
                    for (int j = 0; j < frameCount; ++j) {
                        if (kind == AllButOneFrame && j == odd) continue;
                        const float value = kind == ValuePerFrame ? values.Sample() : shared;
                        Image& frame = *scene.frames[static_cast<size_t>(j)];
                        for (int32_t y = 0; y < frame.Height(); ++y) {
                            for (int32_t x = 0; x < frame.Width(); ++x) {
                                FltPixel pixel;
                                frame.GetPixel(x, y, pixel);
                                float* fields[] = {&pixel.B, &pixel.G, &pixel.R, &pixel.A};
                                *fields[channel] = value;
                                frame.SetPixel(x, y, pixel);
                            }
                        }
                    }
                }
                for (ImageRef& frame : scene.frames) frame->FindUniformPlanes();
                for (int32_t method : {0, 1, 2, 3, 4}) {
                    if (method == 4 && !everyEnabledChannelOneValue) continue;  // else the picks decide
                    scene.controls.method = method;
                    // Any pick of one value is the largest.
                    const std::optional<int32_t> expectedAs = method == 4 ? std::optional<int32_t>(2) : std::nullopt;
                    EXPECT_EQ(FirstDifference(scene, scratch_, PixelType::Float, expectedAs), "") << "seed " << seed;
                }
            }
        }
    }
}

INSTANTIATE_ON_EACH_KERNEL_PATH(FilterRowReference);

}  // namespace
