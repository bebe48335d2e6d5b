#include "scene_decoder.h"

#include <contract/control_values.h>
#include <filter/frame_window.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using taviron::HostRef;

// Pixel values the filter must treat exactly: ordering of NaNs and signed
// zeros, sums that overflow, denormals near the threshold, plain fractions.
constexpr uint32_t kSpecialFloats[] = {
    0x00000000u, 0x80000000u,  // +0, -0
    0x7fc00000u, 0xffc00000u,  // quiet NaN, negative quiet NaN
    0x7f800001u, 0x7fa5a5a5u,  // signalling NaN, NaN with a payload
    0x7f800000u, 0xff800000u,  // +inf, -inf
    0x00000001u, 0x80000001u,  // smallest denormals
    0x007fffffu, 0x00800000u,  // largest denormal, smallest normal
    0x7f7fffffu, 0xff7fffffu,  // largest finite
    0x3f800000u, 0xbf800000u,  // 1, -1
    0x3f000000u, 0x3e800000u,  // 0.5, 0.25
    0x3e000000u, 0x3e4ccccdu,  // 0.125, 0.2
    0x3f666666u, 0x3eaaaaabu,  // 0.9, 1/3
    0x3f800001u, 0x40000000u,  // just above 1, 2
};

// Control, threshold and point values at the edges of their conversions.
constexpr double kSpecialDoubles[] = {
    0.0, -0.0, 1.0, -1.0, 0.5, 0.25, 0.125, 0.1, -0.25, 2.0, 2.7, 3.9999999, 4.0, 4.5, 5.0,
    0.999, 1.0000000000000002, 1e-3, 1e-40, 4.9e-324, 1e300, -1e300, 2147483648.0, -2147483649.0, 1e40,
    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
};

float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double DoubleFromBits(uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float DecodeFloat(FuzzedDataProvider& data) {
    if (data.ConsumeBool()) {
        return FloatFromBits(data.PickValueInArray(kSpecialFloats));
    }
    if (data.ConsumeBool()) {
        return static_cast<float>(data.ConsumeIntegralInRange<int>(-16, 16)) / 16.0f;
    }
    return FloatFromBits(data.ConsumeIntegral<uint32_t>());
}

double DecodeDouble(FuzzedDataProvider& data) {
    return data.ConsumeBool() ? data.PickValueInArray(kSpecialDoubles) : DoubleFromBits(data.ConsumeIntegral<uint64_t>());
}

// Mostly 1.0, the only value that counts as on.
bool DecodeCheckbox(FuzzedDataProvider& data) {
    const uint8_t choice = data.ConsumeIntegral<uint8_t>();
    return taviron::CheckboxOn(choice < 160 ? 1.0 : choice < 200 ? 0.0 : DecodeDouble(data));
}

// Values of a few fuzzed floats, handed out in an order that a small
// generator seeded from the input picks.
class ValuePool {
public:
    explicit ValuePool(FuzzedDataProvider& data) {
        const int count = data.ConsumeIntegralInRange(1, 12);
        for (int i = 0; i < count; ++i) {
            values_.push_back(DecodeFloat(data));
        }
        state_ = data.ConsumeIntegral<uint64_t>() | 1;
    }

    float Next() {
        // xorshift64*: enough to scatter the pool over the pixels.
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return values_[((state_ * 0x2545F4914F6CDD1Dull) >> 33) % values_.size()];
    }

private:
    std::vector<float> values_;
    uint64_t state_ = 1;
};

PixelType DecodePixelType(FuzzedDataProvider& data) {
    switch (data.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return PixelType::UInt8;
    case 1:
        return PixelType::UInt16;
    case 2:
        return PixelType::Half;
    default:
        return PixelType::Float;
    }
}

HostRef<Image> MakeImage(FuzzedDataProvider& data, int32_t width, int32_t height, ValuePool& pool) {
    const PixelType type = DecodePixelType(data);
    HostRef<Image> image(new Image(width, height, type, data.ConsumeBool()));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            FltPixel pixel;
            pixel.B = pool.Next();
            pixel.G = pool.Next();
            pixel.R = pool.Next();
            pixel.A = pool.Next();
            pixel.Z = pool.Next();
            image->SetPixel(x, y, pixel);
        }
    }
    return image;
}

// Mostly the source's size; otherwise a small size of its own.
HostRef<Image> MakeFrame(FuzzedDataProvider& data, const Image& source, ValuePool& pool) {
    if (data.ConsumeIntegralInRange(0, 3) != 0 && source.Width() > 0 && source.Height() > 0) {
        return MakeImage(data, source.Width(), source.Height(), pool);
    }
    const int32_t width = data.ConsumeIntegralInRange(1, 12);
    const int32_t height = data.ConsumeIntegralInRange(1, 6);
    return MakeImage(data, width, height, pool);
}

HostRef<Image> Share(const HostRef<Image>& image) {
    image->Use();
    return HostRef<Image>(image.get());
}

HostRef<Point> DecodePoint(FuzzedDataProvider& data) {
    const double x = DecodeDouble(data);
    const double y = DecodeDouble(data);
    return HostRef<Point>(new Point(x, y));
}

// A point as trackers write it, a whole pixel over the image's size: the
// differences of two such points fall a hair off whole moves.
HostRef<Point> TrackerPoint(FuzzedDataProvider& data, const Image& image) {
    const double width = std::max(image.Width(), 1);
    const double height = std::max(image.Height(), 1);
    return HostRef<Point>(new Point((width - data.ConsumeIntegralInRange(-9, 9)) / width,
                                    (height - data.ConsumeIntegralInRange(-9, 9)) / height));
}

// Absent, still, moving steadily from frame to frame, a tracker's pixel, or
// anywhere.
HostRef<Point> FramePoint(FuzzedDataProvider& data, const Point* current, const Image& frame, size_t index,
                          double stepX, double stepY) {
    switch (data.ConsumeIntegralInRange(0, 4)) {
    case 0:
        return nullptr;
    case 1:
        return HostRef<Point>(current != nullptr ? new Point(current->X, current->Y) : new Point(0.0, 0.0));
    case 2:
        return HostRef<Point>(new Point(stepX * static_cast<double>(index), stepY * static_cast<double>(index)));
    case 3:
        return TrackerPoint(data, frame);
    default:
        return DecodePoint(data);
    }
}

void DecodeControls(FuzzedDataProvider& data, FuzzScene& scene) {
    for (bool& on : scene.controls.channelOn) {
        on = DecodeCheckbox(data);
    }
    scene.controls.threshold = data.ConsumeBool() ? 0.0 : DecodeDouble(data);
    scene.controls.useTracking = DecodeCheckbox(data);
    scene.controls.method = data.ConsumeBool()   ? static_cast<taviron::FilterMethod>(data.ConsumeIntegralInRange(0, 4))
                            : data.ConsumeBool() ? taviron::MethodNumber(DecodeDouble(data))
                                                 : static_cast<taviron::FilterMethod>(data.ConsumeIntegral<int32_t>());
}

void DecodeImages(FuzzedDataProvider& data, FuzzScene& scene, ValuePool& pool) {
    // Wide rows, one high, reach the kernel's tiles beyond the first.
    const bool wide = data.ConsumeIntegralInRange(0, 15) == 0;
    const int32_t width = wide ? data.ConsumeIntegralInRange(0, 1100) : data.ConsumeIntegralInRange(0, 40);
    const int32_t height = wide ? 1 : data.ConsumeIntegralInRange(0, 4);
    scene.source = MakeImage(data, width, height, pool);
    switch (data.ConsumeIntegralInRange(0, 3)) {
    case 0:
        break;  // no mask
    case 1:
        scene.mask = MakeImage(data, width, height, pool);
        break;
    default:
        scene.mask = MakeImage(data, data.ConsumeIntegralInRange(0, 12), data.ConsumeIntegralInRange(0, 6), pool);
        break;
    }
    scene.outputType = DecodePixelType(data);
    scene.outputDepth = data.ConsumeBool();
}

// The frames the tool would gather for the window controls: each offset's
// frame may be missing, may be the source image itself or an earlier frame
// again (a still), or an image of its own.
void DecodeWindow(FuzzedDataProvider& data, FuzzScene& scene, ValuePool& pool) {
    scene.framesControl = data.ConsumeIntegralInRange(-3, 40);
    scene.direction = data.ConsumeIntegralInRange(-1, 3);
    const taviron::WindowOffsets offsets = taviron::WindowOffsetsFor(scene.framesControl, scene.direction);
    if (data.ConsumeBool()) {
        scene.currentPoint = data.ConsumeBool() ? TrackerPoint(data, *scene.source) : DecodePoint(data);
    }
    const double stepX = DecodeDouble(data);
    const double stepY = DecodeDouble(data);
    const bool sourceHasPixels = scene.source->Width() > 0 && scene.source->Height() > 0;
    for (int64_t k = offsets.first; k <= offsets.last; ++k) {
        HostRef<Image> frame;
        switch (data.ConsumeIntegralInRange(0, 7)) {
        case 0:
            continue;  // missing
        case 1:
            if (sourceHasPixels) {
                frame = Share(scene.source);
            }
            break;
        case 2:
            if (!scene.frames.empty()) {
                frame = Share(scene.frames.back());
            }
            break;
        default:
            break;
        }
        if (!frame) {
            frame = MakeFrame(data, *scene.source, pool);
        }
        scene.frames.push_back(std::move(frame));
        scene.framePoints.push_back(
            FramePoint(data, scene.currentPoint.get(), *scene.frames.back(), scene.frames.size(), stepX, stepY));
    }
}

}  // namespace

FuzzScene DecodeScene(FuzzedDataProvider& data) {
    FuzzScene scene;
    DecodeControls(data, scene);
    ValuePool pool(data);
    DecodeImages(data, scene, pool);
    DecodeWindow(data, scene, pool);
    return scene;
}
