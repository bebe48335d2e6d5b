#include "frame_reader.h"

#include "errors.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kStripRows = 64;

// Bytes of the value 1.0 at each pixel type.
void FillWithOne(Image& image, int channel) {
    const size_t width = static_cast<size_t>(image.Width());
    for (int32_t y = 0; y < image.Height(); ++y) {
        void* row = image.RawRow(channel, y);
        switch (image.Type()) {
        case PixelType::UInt8: std::memset(row, 0xFF, width); break;
        case PixelType::UInt16: std::fill_n(static_cast<uint16_t*>(row), width, uint16_t{0xFFFF}); break;
        case PixelType::Half: std::fill_n(static_cast<uint16_t*>(row), width, FloatToHalf(1.0f)); break;
        case PixelType::Float: std::fill_n(static_cast<float*>(row), width, 1.0f); break;
        }
    }
}

void CopyPlane(Image& image, int channel, int sourceChannel) {
    const size_t rowBytes = static_cast<size_t>(image.Width()) * BytesPerSample(image.Type());
    for (int32_t y = 0; y < image.Height(); ++y)
        std::memcpy(image.RawRow(channel, y), image.RawRow(sourceChannel, y), rowBytes);
}

float SampleAsFloat(PixelType type, const unsigned char* sample) {
    switch (type) {
    case PixelType::UInt8: return *sample / 255.0f;
    case PixelType::UInt16: {
        uint16_t value;
        std::memcpy(&value, sample, sizeof value);
        return value / 65535.0f;
    }
    case PixelType::Half: {
        uint16_t value;
        std::memcpy(&value, sample, sizeof value);
        return HalfToFloat(value);
    }
    case PixelType::Float: break;
    }
    float value;
    std::memcpy(&value, sample, sizeof value);
    return value;
}

// Channel `c` of a row of `channels` interleaved samples into a plane row;
// typed, so that a sample is a move, not a call.
template <typename Sample>
void SpreadChannel(const unsigned char* row, size_t channels, size_t c, size_t width, void* plane) {
    auto* out = static_cast<Sample*>(plane);
    for (size_t x = 0; x < width; ++x) std::memcpy(out + x, row + (x * channels + c) * sizeof(Sample), sizeof(Sample));
}

// Spreads rows [firstRow, endRow) of interleaved samples, `pixels` holding
// the first of them, into the image's planes and the extra channels.
void Deinterleave(const unsigned char* pixels, int32_t firstRow, int32_t endRow, const ChannelLayout& layout,
                  Image& image, std::vector<float>& extras) {
    const size_t sampleBytes = BytesPerSample(image.Type());
    const size_t channels = layout.plane.size();
    const size_t width = static_cast<size_t>(image.Width());
    const size_t extraCount = static_cast<size_t>(layout.ExtraCount());
    for (int32_t y = firstRow; y < endRow; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(y - firstRow) * width * channels * sampleBytes;
        size_t extra = 0;
        for (size_t c = 0; c < channels; ++c) {
            const int plane = layout.plane[c];
            if (plane == ChannelLayout::kExtra) {
                float* out = extras.data() + static_cast<size_t>(y) * width * extraCount + extra++;
                for (size_t x = 0; x < width; ++x)
                    out[x * extraCount] = SampleAsFloat(image.Type(), row + (x * channels + c) * sampleBytes);
                continue;
            }
            void* out = image.RawRow(plane, y);
            switch (sampleBytes) {
            case 1: SpreadChannel<uint8_t>(row, channels, c, width, out); break;
            case 2: SpreadChannel<uint16_t>(row, channels, c, width, out); break;
            default: SpreadChannel<float>(row, channels, c, width, out); break;
            }
        }
    }
}

}  // namespace

std::shared_ptr<const DecodedFrame> ReadFrame(const std::string& path, FrameRole role) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    if (!input) throw InputError("cannot read " + path + ": " + OneLine(OIIO::geterror()));
    input->threads(1);
    auto format = std::make_shared<FrameFormat>();
    format->spec = input->spec();
    format->layout = LayoutOf(format->spec);
    const OIIO::ImageSpec& spec = format->spec;
    if (spec.depth > 1) throw InputError("cannot read " + path + ": volume images are not supported");
    const PixelType type = PixelTypeFor(spec, format->layout);

    auto frame = std::make_shared<DecodedFrame>();
    frame->image = Ref<Image>::Adopt(new Image(spec.width, spec.height, type, format->layout.hasDepth));
    Image& image = *frame->image;
    auto extras = std::make_shared<std::vector<float>>(static_cast<size_t>(format->layout.ExtraCount()) *
                                                       spec.image_pixels());
    // A strip at a time: a small buffer, used again for every strip.
    const size_t rowBytes = static_cast<size_t>(spec.width) * static_cast<size_t>(spec.nchannels) * BytesPerSample(type);
    std::vector<unsigned char> strip(rowBytes * static_cast<size_t>(std::min(spec.height, kStripRows)));
    for (int32_t first = 0; first < spec.height; first += kStripRows) {
        const int32_t end = std::min(spec.height, first + kStripRows);
        if (!input->read_scanlines(0, 0, spec.y + first, spec.y + end, 0, 0, spec.nchannels, TypeDescOf(type),
                                   strip.data()))
            throw InputError("cannot read " + path + ": " + OneLine(input->geterror()));
        Deinterleave(strip.data(), first, end, format->layout, image, *extras);
    }
    if (format->layout.gray) {
        CopyPlane(image, CHAN_GREEN, CHAN_RED);
        CopyPlane(image, CHAN_BLUE, CHAN_RED);
    }
    if (!format->layout.hasAlpha) {
        if (role == FrameRole::Mask) CopyPlane(image, CHAN_ALPHA, CHAN_RED);
        else FillWithOne(image, CHAN_ALPHA);
    }
    frame->format = std::move(format);
    frame->extras = std::move(extras);
    return frame;
}
