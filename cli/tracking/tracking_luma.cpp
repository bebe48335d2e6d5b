#include "tracking/tracking_luma.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace taviron::cli {

namespace {

// Rec. 709 weights, and the same in 256ths for whole-number samples.
constexpr float kRed = 0.2126f;
constexpr float kGreen = 0.7152f;
constexpr float kBlue = 0.0722f;
constexpr uint32_t kRed256 = 54;
constexpr uint32_t kGreen256 = 183;
constexpr uint32_t kBlue256 = 19;

// Whole-number samples as the image stores them, straight to 8 bits.
template <typename Sample>
void WholeNumberRow(const Image& image, int y, unsigned char* out) {
    const auto* red = static_cast<const Sample*>(image.RawRow(CHAN_RED, y));
    const auto* green = static_cast<const Sample*>(image.RawRow(CHAN_GREEN, y));
    const auto* blue = static_cast<const Sample*>(image.RawRow(CHAN_BLUE, y));
    constexpr uint32_t kShift = 8 * sizeof(Sample);  // 256ths, and 16 bits down to 8
    for (int x = 0; x < image.Width(); ++x) {
        const uint32_t weighted = kRed256 * red[x] + kGreen256 * green[x] + kBlue256 * blue[x];
        out[x] = static_cast<unsigned char>((weighted + (1u << (kShift - 1))) >> kShift);
    }
}

// Scene-linear samples through a square root; NaN and infinities of a broken
// pixel clip like any other value.
void LinearRow(const Image& image, int y, std::vector<float> (&channels)[3], unsigned char* out) {
    const int width = image.Width();
    image.ReadRow(CHAN_RED, y, 0, width, channels[0].data());
    image.ReadRow(CHAN_GREEN, y, 0, width, channels[1].data());
    image.ReadRow(CHAN_BLUE, y, 0, width, channels[2].data());
    for (int x = 0; x < width; ++x) {
        const float value = kRed * channels[0][x] + kGreen * channels[1][x] + kBlue * channels[2][x];
        const float clipped = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
        out[x] = static_cast<unsigned char>(std::sqrt(clipped) * 255.0f + 0.5f);
    }
}

}  // namespace

cv::Mat TrackingLuma(const Image& image) {
    cv::Mat luma(image.Height(), image.Width(), CV_8UC1);
    std::vector<float> channels[3];
    for (std::vector<float>& channel : channels) channel.resize(static_cast<size_t>(image.Width()));
    for (int y = 0; y < image.Height(); ++y) {
        unsigned char* row = luma.ptr<unsigned char>(y);
        switch (image.Type()) {
        case PixelType::UInt8: WholeNumberRow<uint8_t>(image, y, row); break;
        case PixelType::UInt16: WholeNumberRow<uint16_t>(image, y, row); break;
        case PixelType::Half:
        case PixelType::Float: LinearRow(image, y, channels, row); break;
        }
    }
    return luma;
}

}  // namespace taviron::cli
