#include "io/reading/frame_reader.h"

#include "errors.h"
#include "io/reading/file_access.h"
#include "io/reading/image_parts.h"
#include "io/reading/row_bands.h"

#include <OpenImageIO/strutil.h>

#include <algorithm>
#include <cstring>

namespace taviron::cli {

namespace {

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

// Where a file's data window lies in its display window: the host image is
// the display window, the file's samples fill the part of it they cover.
struct Placement {
    int32_t firstColumn = 0;      // in the image
    int32_t firstFileColumn = 0;  // in the file's data window
    int32_t columns = 0;
    int32_t firstRow = 0;      // in the image
    int32_t firstFileRow = 0;  // in the file's data window
    int32_t rows = 0;
    bool covers = true;  // the data window is the whole display window
};

Placement PlacementOf(const OIIO::ImageSpec& spec) {
    Placement at;
    const int32_t left = std::max(spec.x, spec.full_x);
    const int32_t right = std::min(spec.x + spec.width, spec.full_x + spec.full_width);
    const int32_t top = std::max(spec.y, spec.full_y);
    const int32_t bottom = std::min(spec.y + spec.height, spec.full_y + spec.full_height);
    at.columns = std::max(0, right - left);
    at.rows = std::max(0, bottom - top);
    at.firstColumn = left - spec.full_x;
    at.firstFileColumn = left - spec.x;
    at.firstRow = top - spec.full_y;
    at.firstFileRow = top - spec.y;
    at.covers = at.columns == spec.full_width && at.rows == spec.full_height;
    return at;
}

void ZeroPlane(Image& image, int channel) {
    const size_t rowBytes = static_cast<size_t>(image.Width()) * BytesPerSample(image.Type());
    for (int32_t y = 0; y < image.Height(); ++y) std::memset(image.RawRow(channel, y), 0, rowBytes);
}

// Spreads file rows [firstRow, endRow) of the data window, interleaved, the
// first of them at `pixels`, into the image's planes and the extra channels
// where `at` places them.
void Deinterleave(const unsigned char* pixels, int32_t firstRow, int32_t endRow, const ChannelLayout& layout,
                  const Placement& at, size_t fileWidth, Image& image, std::vector<float>& extras) {
    const size_t sampleBytes = BytesPerSample(image.Type());
    const size_t channels = layout.plane.size();
    const size_t width = static_cast<size_t>(image.Width());
    const size_t columns = static_cast<size_t>(at.columns);
    const size_t extraCount = static_cast<size_t>(layout.ExtraCount());
    const size_t pixelBytes = channels * sampleBytes;
    for (int32_t fileRow = firstRow; fileRow < endRow; ++fileRow) {
        const int32_t y = fileRow - at.firstFileRow + at.firstRow;
        const unsigned char* row = pixels + static_cast<size_t>(fileRow - firstRow) * fileWidth * pixelBytes +
                                   static_cast<size_t>(at.firstFileColumn) * pixelBytes;
        size_t extra = 0;
        for (size_t c = 0; c < channels; ++c) {
            const int plane = layout.plane[c];
            if (plane == ChannelLayout::kExtra) {
                float* out = extras.data() + (static_cast<size_t>(y) * width + static_cast<size_t>(at.firstColumn)) * extraCount + extra++;
                for (size_t x = 0; x < columns; ++x)
                    out[x * extraCount] = SampleAsFloat(image.Type(), row + (x * channels + c) * sampleBytes);
                continue;
            }
            void* out = static_cast<unsigned char*>(image.RawRow(plane, y)) +
                        static_cast<size_t>(at.firstColumn) * sampleBytes;
            switch (sampleBytes) {
            case 1: SpreadChannel<uint8_t>(row, channels, c, columns, out); break;
            case 2: SpreadChannel<uint16_t>(row, channels, c, columns, out); break;
            default: SpreadChannel<float>(row, channels, c, columns, out); break;
            }
        }
    }
}

// The frame's memory: a host image of the display window into `frame`, and
// the extra channels, returned. Running out of it names the file and what it
// needed.
std::shared_ptr<std::vector<float>> AllocateFrame(const std::string& path, const OIIO::ImageSpec& spec, PixelType type,
                                                  const ChannelLayout& layout, DecodedFrame& frame) {
    const size_t pixels = static_cast<size_t>(spec.full_width) * static_cast<size_t>(spec.full_height);
    try {
        frame.image = taviron::HostRef<Image>(new Image(spec.full_width, spec.full_height, type, layout.hasDepth));
        // An image takes its pixels' memory at its first write: taken here,
        // where running out of it can still name the file.
        if (pixels > 0) frame.image->RawRow(CHAN_BLUE, 0);
        auto extras = std::make_shared<std::vector<float>>(static_cast<size_t>(layout.ExtraCount()) * pixels);
        if (!extras->empty()) frame.extras = std::shared_ptr<const float>(extras, extras->data());
        return extras;
    } catch (const std::bad_alloc&) {
        const size_t bytes = pixels * (static_cast<size_t>(layout.hasDepth ? CHANNEL_COUNT : CHAN_ALPHA + 1) *
                                           BytesPerSample(type) +
                                       static_cast<size_t>(layout.ExtraCount()) * sizeof(float));
        throw InputError(OIIO::Strutil::fmt::format("cannot read {}: out of memory for its {}x{} pixels ({} MB)", path,
                                                    spec.full_width, spec.full_height, bytes >> 20));
    }
}

// Opens `path` at the part that holds the colour channels and describes its
// frame: the parts, the image's description, where each channel goes.
// Refuses what the host image cannot hold.
std::unique_ptr<OIIO::ImageInput> OpenFrameFile(const std::string& path, FrameFormat& format) {
    const std::string unreadable = ReasonFileCannotBeRead(path);
    if (!unreadable.empty()) throw InputError("cannot read " + path + ": " + unreadable);
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    if (!input) throw InputError("cannot read " + path + ": " + OneLine(OIIO::geterror()));
    input->threads(1);
    std::vector<OIIO::ImageSpec> parts = PartsOf(*input);
    if (parts.size() > 1) {
        format.part = ColourPartOf(parts);
        RequireCarriableParts(path, parts, format.part);
        input->seek_subimage(format.part, 0);
        format.parts = std::move(parts);
        format.source = path;
    }
    format.spec = input->spec();
    format.layout = LayoutOf(format.spec);
    if (format.spec.deep)
        throw InputError(OIIO::Strutil::fmt::format(
            "cannot read {0}: deep images are not supported; flatten them first, e.g. with oiiotool {0} --flatten -o flat.exr",
            path));
    if (format.spec.depth > 1) throw InputError("cannot read " + path + ": volume images are not supported");
    return input;
}

// Reads the data window a band at a time, through a small buffer used again
// for every band, into the image's planes and `extras` where `at` places it.
void ReadPixels(OIIO::ImageInput& input, const std::string& path, const FrameFormat& format, PixelType type,
                const Placement& at, Image& image, std::vector<float>& extras) {
    const OIIO::ImageSpec& spec = format.spec;
    RowBands bands(input, format.part, spec);
    const size_t fileWidth = static_cast<size_t>(spec.width);
    const size_t rowBytes = fileWidth * static_cast<size_t>(spec.nchannels) * BytesPerSample(type);
    std::vector<unsigned char> band(rowBytes * static_cast<size_t>(std::min(spec.height, bands.Rows())));
    const int32_t endRow = at.firstFileRow + at.rows;
    for (int32_t start = at.firstFileRow / bands.Rows() * bands.Rows(); start < endRow; start += bands.Rows()) {
        const int32_t bandEnd = std::min(spec.height, start + bands.Rows());
        if (!bands.Read(start, bandEnd, TypeDescOf(type), band.data()))
            throw InputError("cannot read " + path + ": " + OneLine(input.geterror()));
        const int32_t first = std::max(start, at.firstFileRow);
        Deinterleave(band.data() + static_cast<size_t>(first - start) * rowBytes, first, std::min(endRow, bandEnd),
                     format.layout, at, fileWidth, image, extras);
    }
}

// Gives the planes the file lacks their values: grey spread to green and
// blue; no alpha, opaque, or for a mask its one channel.
void CompletePlanes(const ChannelLayout& layout, FrameRole role, Image& image) {
    if (layout.gray) {
        CopyPlane(image, CHAN_GREEN, CHAN_RED);
        CopyPlane(image, CHAN_BLUE, CHAN_RED);
    }
    if (!layout.hasAlpha) {
        if (role == FrameRole::Mask) CopyPlane(image, CHAN_ALPHA, CHAN_RED);
        else FillWithOne(image, CHAN_ALPHA);
    }
}

}  // namespace

std::shared_ptr<const DecodedFrame> ReadFrame(const std::string& path, FrameRole role) {
    auto format = std::make_shared<FrameFormat>();
    const std::unique_ptr<OIIO::ImageInput> input = OpenFrameFile(path, *format);
    const PixelType type = PixelTypeFor(format->spec, format->layout);
    // The host image is the display window; a data window that covers part
    // of it (an auto-cropped render) leaves zeros around it.
    const Placement at = PlacementOf(format->spec);
    auto frame = std::make_shared<DecodedFrame>();
    const std::shared_ptr<std::vector<float>> extras = AllocateFrame(path, format->spec, type, format->layout, *frame);
    Image& image = *frame->image;
    if (!at.covers)
        for (int plane = 0; plane < (image.HasDepth() ? CHANNEL_COUNT : CHAN_ALPHA + 1); ++plane) ZeroPlane(image, plane);
    ReadPixels(*input, path, *format, type, at, image, *extras);
    CompletePlanes(format->layout, role, image);
    frame->format = std::move(format);
    return frame;
}

}  // namespace taviron::cli
