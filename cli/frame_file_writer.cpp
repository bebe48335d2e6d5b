#include "frame_file_writer.h"

#include "errors.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int32_t kStripRows = 64;

// Colour channels only, for formats that cannot hold more than four.
std::vector<int> ChannelsToWrite(const FrameFormat& format, const OIIO::ImageOutput& output) {
    std::vector<int> channels;
    const bool anyCount = output.supports("nchannels");
    for (size_t c = 0; c < format.layout.plane.size(); ++c) {
        const int plane = format.layout.plane[c];
        const bool colour = plane >= CHAN_BLUE && plane <= CHAN_ALPHA;
        if (anyCount || colour) channels.push_back(static_cast<int>(c));
    }
    return channels;
}

OIIO::ImageSpec OutputSpec(const FrameFormat& format, const std::vector<int>& channels, OIIO::TypeDesc type) {
    OIIO::ImageSpec spec = format.spec;
    spec.set_format(type == OIIO::TypeDesc::UNKNOWN ? format.spec.format : type);
    spec.channelformats.clear();
    spec.tile_width = spec.tile_height = spec.tile_depth = 0;
    spec.nchannels = static_cast<int>(channels.size());
    spec.channelnames.clear();
    spec.alpha_channel = spec.z_channel = -1;
    for (size_t i = 0; i < channels.size(); ++i) {
        const int plane = format.layout.plane[static_cast<size_t>(channels[i])];
        if (plane == CHAN_ALPHA) spec.alpha_channel = static_cast<int>(i);
        if (plane == CHAN_DEPTH) spec.z_channel = static_cast<int>(i);
        spec.channelnames.push_back(static_cast<size_t>(channels[i]) < format.spec.channelnames.size()
                                        ? format.spec.channelnames[static_cast<size_t>(channels[i])]
                                        : "channel" + std::to_string(i));
    }
    // The samples are the file's own; alpha is not to be divided out.
    spec.attribute("oiio:UnassociatedAlpha", 1);
    // Fast compression: the writer must keep up with the filter.
    spec.attribute("png:compressionLevel", 1);
    return spec;
}

// Rows [firstRow, endRow) of the file's channels, interleaved into `pixels`.
void Interleave(const Image& image, const FrameFormat& format, const std::vector<int>& channels,
                const std::vector<float>* extras, int32_t firstRow, int32_t endRow, std::vector<float>& pixels) {
    const size_t width = static_cast<size_t>(image.Width());
    const size_t count = channels.size();
    const size_t extraCount = static_cast<size_t>(format.layout.ExtraCount());
    std::vector<float> row(width);
    for (int32_t y = firstRow; y < endRow; ++y) {
        float* out = pixels.data() + static_cast<size_t>(y - firstRow) * width * count;
        for (size_t i = 0; i < count; ++i) {
            const size_t fileChannel = static_cast<size_t>(channels[i]);
            const int plane = format.layout.plane[fileChannel];
            if (plane == ChannelLayout::kExtra) {
                const int extra = static_cast<int>(std::count(format.layout.plane.begin(),
                                                              format.layout.plane.begin() + static_cast<long>(fileChannel),
                                                              ChannelLayout::kExtra));
                const float* in = extras ? extras->data() + static_cast<size_t>(y) * width * extraCount : nullptr;
                for (size_t x = 0; x < width; ++x)
                    out[x * count + i] = in ? in[x * extraCount + static_cast<size_t>(extra)] : 0.0f;
                continue;
            }
            image.ReadRow(plane, y, 0, image.Width(), row.data());
            for (size_t x = 0; x < width; ++x) out[x * count + i] = row[x];
        }
    }
}

// A strip at a time: a small buffer, used again for every strip.
bool WritePixels(OIIO::ImageOutput& output, const OIIO::ImageSpec& spec, const Image& image, const FrameFormat& format,
                 const std::vector<int>& channels, const std::vector<float>* extras) {
    std::vector<float> strip(static_cast<size_t>(image.Width()) * channels.size() *
                             static_cast<size_t>(std::min(image.Height(), kStripRows)));
    for (int32_t first = 0; first < image.Height(); first += kStripRows) {
        const int32_t end = std::min(image.Height(), first + kStripRows);
        Interleave(image, format, channels, extras, first, end, strip);
        if (!output.write_scanlines(spec.y + first, spec.y + end, 0, OIIO::TypeDesc::FLOAT, strip.data())) return false;
    }
    return true;
}

std::string TemporaryNameBeside(const std::string& path) {
    const fs::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + ".taviron-" + std::to_string(getpid()) + ".tmp"))
        .string();
}

}  // namespace

FrameFormat EightBitFormat(int width, int height, int channels) {
    FrameFormat format;
    format.spec = OIIO::ImageSpec(width, height, channels, OIIO::TypeDesc::UINT8);
    format.layout = LayoutOf(format.spec);
    return format;
}

void WriteFrameFile(const std::string& path, const Image& image, const FrameFormat& format,
                    const std::vector<float>* extras, OIIO::TypeDesc type) {
    auto output = OIIO::ImageOutput::create(path);
    if (!output) throw OutputError("cannot write " + path + ": " + OIIO::geterror());
    output->threads(1);  // already on a thread of its own
    const std::vector<int> channels = ChannelsToWrite(format, *output);
    OIIO::ImageSpec spec = OutputSpec(format, channels, type);
    spec.width = image.Width();
    spec.height = image.Height();
    const std::string temporary = TemporaryNameBeside(path);
    const bool written =
        output->open(temporary, spec) && WritePixels(*output, spec, image, format, channels, extras) && output->close();
    std::error_code error;
    if (!written) {
        const std::string reason = output->geterror();
        fs::remove(temporary, error);
        throw OutputError("cannot write " + path + ": " + reason);
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        throw OutputError("cannot write " + path + ": " + error.message());
    }
}
