#include "io/writing/frame_file_writer.h"

#include "io/writing/checked_output_file.h"
#include "io/writing/durable_rename.h"
#include "io/reading/image_parts.h"
#include "errors.h"
#include "io/writing/interrupt_cleanup.h"
#include "io/writing/stored_type.h"
#include "io/writing/temporary_name.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace taviron::cli {

namespace fs = std::filesystem;

namespace {

constexpr int kPngFilterUp = 0x20;  // the PNG library's flag for the Up row filter

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

// The writers stamp the time of writing where the source had no date: an
// empty one keeps a render byte for byte the same every time.
void KeepUndated(OIIO::ImageSpec& spec) {
    if (!spec.extra_attribs.contains("DateTime")) spec.attribute("DateTime", "");
}

// The parts of a multi-part source as written: the filtered one as `filtered`,
// the others as the source holds them.
std::vector<OIIO::ImageSpec> PartsToWrite(const FrameFormat& format, const OIIO::ImageSpec& filtered,
                                          const OutputEncoding& encoding) {
    std::vector<OIIO::ImageSpec> parts;
    for (size_t part = 0; part < format.parts.size(); ++part) {
        if (static_cast<int>(part) == format.part) {
            parts.push_back(filtered);
            continue;
        }
        parts.push_back(CarriedSpec(format.parts[part]));
        KeepUndated(parts.back());
        ApplyEncoding(encoding, parts.back());
    }
    return parts;
}

// Each written channel in the type the source file stored it in, where the
// source kept a type per channel (half colour beside a float depth).
std::vector<OIIO::TypeDesc> ChannelTypesKept(const FrameFormat& format, const std::vector<int>& channels) {
    std::vector<OIIO::TypeDesc> types;
    if (format.spec.channelformats.empty()) return types;
    for (int channel : channels) types.push_back(format.spec.channelformats[static_cast<size_t>(channel)]);
    return types;
}

OIIO::ImageSpec OutputSpec(const FrameFormat& format, const std::vector<int>& channels, OIIO::TypeDesc type,
                           const OutputEncoding& encoding) {
    OIIO::ImageSpec spec = format.spec;
    spec.set_format(type == OIIO::TypeDesc::UNKNOWN ? format.spec.format : type);
    spec.channelformats.clear();
    if (type == OIIO::TypeDesc::UNKNOWN) spec.channelformats = ChannelTypesKept(format, channels);
    KeepUndated(spec);
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
    // Fast compression: the writers must keep up with the filter. Trying every
    // row filter and keeping the best, the library's default, costs half as
    // much again as the deflating; the Up filter alone is cheap and suits
    // pictures of the world.
    spec.attribute("png:compressionLevel", 1);
    spec.attribute("png:filter", kPngFilterUp);
    ApplyEncoding(encoding, spec);
    return spec;
}

// The file's channels of row `y`, interleaved as floats into `interleaved`.
void InterleaveRow(const Image& image, const FrameFormat& format, const std::vector<int>& channels,
                   const float* extras, int32_t y, std::vector<float>& row, float* interleaved) {
    const size_t width = static_cast<size_t>(image.Width());
    const size_t count = channels.size();
    const size_t extraCount = static_cast<size_t>(format.layout.ExtraCount());
    for (size_t i = 0; i < count; ++i) {
        const size_t fileChannel = static_cast<size_t>(channels[i]);
        const int plane = format.layout.plane[fileChannel];
        if (plane == ChannelLayout::kExtra) {
            const int extra = static_cast<int>(std::count(format.layout.plane.begin(),
                                                          format.layout.plane.begin() + static_cast<long>(fileChannel),
                                                          ChannelLayout::kExtra));
            const float* in = extras ? extras + static_cast<size_t>(y) * width * extraCount : nullptr;
            for (size_t x = 0; x < width; ++x)
                interleaved[x * count + i] = in ? in[x * extraCount + static_cast<size_t>(extra)] : 0.0f;
            continue;
        }
        image.ReadRow(plane, y, 0, image.Width(), row.data());
        for (size_t x = 0; x < width; ++x) interleaved[x * count + i] = row[x];
    }
}

// The whole image in the file's channels and sample type, converted by the
// library's own rules, a row at a time.
std::vector<unsigned char> FilePixels(const Image& image, const FrameFormat& format, const std::vector<int>& channels,
                                      const float* extras, OIIO::TypeDesc type) {
    const size_t rowSamples = static_cast<size_t>(image.Width()) * channels.size();
    const size_t rowBytes = rowSamples * type.size();
    std::vector<unsigned char> pixels(rowBytes * static_cast<size_t>(image.Height()));
    std::vector<float> row(static_cast<size_t>(image.Width()));
    std::vector<float> interleaved(rowSamples);
    for (int32_t y = 0; y < image.Height(); ++y) {
        InterleaveRow(image, format, channels, extras, y, row, interleaved.data());
        OIIO::convert_pixel_values(OIIO::TypeDesc::FLOAT, interleaved.data(), type,
                                   pixels.data() + static_cast<size_t>(y) * rowBytes, static_cast<int>(rowSamples));
    }
    return pixels;
}

}  // namespace

FrameFormat EightBitFormat(int width, int height, int channels) {
    FrameFormat format;
    format.spec = OIIO::ImageSpec(width, height, channels, OIIO::TypeDesc::UINT8);
    format.layout = LayoutOf(format.spec);
    return format;
}

PendingFrameFile::PendingFrameFile(const std::string& path, const Image& image, const FrameFormat& format,
                                   const float* extras, OIIO::TypeDesc type,
                                   const OutputEncoding& encoding)
    : path_(path), output_(OIIO::ImageOutput::create(path)) {
    if (!output_) throw OutputError("cannot write " + path + ": " + OIIO::geterror());
    output_->threads(1);  // the writers are threads of their own
    const std::vector<int> channels = ChannelsToWrite(format, *output_);
    spec_ = OutputSpec(format, channels, type, encoding);
    // Written whole: the display window is the data window. A filtered frame
    // holds whatever its window's frames held, so an auto-cropped source's
    // data window says nothing about where the result's pixels are.
    spec_.x = spec_.full_x;
    spec_.y = spec_.full_y;
    spec_.width = spec_.full_width = image.Width();
    spec_.height = spec_.full_height = image.Height();
    pixelType_ = StoredType(path, spec_).value_or(OIIO::TypeDesc::FLOAT);
    pixels_ = FilePixels(image, format, channels, extras, pixelType_);
    if (format.parts.empty()) return;
    if (!HoldsParts(*output_))
        throw InputError("cannot carry the " + std::to_string(format.parts.size() - 1) + " other parts of " +
                         format.source + " into " + path + ": only an OpenEXR output (.exr) keeps them");
    parts_ = PartsToWrite(format, spec_, encoding);
    part_ = static_cast<size_t>(format.part);
    source_ = format.source;
}

void PendingFrameFile::Write() {
    const std::string temporary = TemporaryNameBeside(path_, getpid());
    RegisterTemporaryFile(temporary);
    const std::string failure = WriteUnder(temporary);
    UnregisterTemporaryFile(temporary);
    if (!failure.empty()) throw OutputError("cannot write " + path_ + ": " + failure);
}

std::string PendingFrameFile::WriteUnder(const std::string& temporary) {
    // PNG, OpenEXR, JPEG and DPX through a file that notices a full disk; TIFF
    // checks its own writes (and writes a broken directory through such a file).
    // Written through it, the file is opened under its own name, which DPX
    // records, not the temporary one. The library writes a multi-part
    // OpenEXR to the name it is given, past any such file.
    std::optional<CheckedOutputFile> file;
    const std::string format = output_->format_name();
    if ((format == "png" || format == "openexr" || format == "jpeg" || format == "dpx") &&
        output_->supports("ioproxy") && parts_.empty())
        output_->set_ioproxy(&file.emplace(temporary));
    std::string partReason;
    const bool encoded = Encode(file ? path_ : temporary, partReason) && output_->close();
    const std::string libraryReason = partReason.empty() ? OneLine(output_->geterror()) : partReason;
    output_.reset();  // an unfinished file is closed before the file it writes through goes
    const std::string fileReason = file ? file->Finish() : std::string();
    std::error_code error;
    if (!encoded || !fileReason.empty()) {
        fs::remove(temporary, error);
        return fileReason.empty() ? libraryReason : fileReason;
    }
    if (const std::string failure = RenameDurably(temporary, path_); !failure.empty()) {
        fs::remove(temporary, error);
        return failure;
    }
    return {};
}

bool PendingFrameFile::Encode(const std::string& name, std::string& partReason) {
    if (parts_.empty()) return output_->open(name, spec_) && output_->write_image(pixelType_, pixels_.data());
    if (!output_->open(name, static_cast<int>(parts_.size()), parts_.data())) return false;
    for (size_t part = 0; part < parts_.size(); ++part) {
        if (part > 0 && !output_->open(name, parts_[part], OIIO::ImageOutput::AppendSubimage)) return false;
        if (part == part_) {
            if (!output_->write_image(pixelType_, pixels_.data())) return false;
            continue;
        }
        partReason = CopyPart(source_, static_cast<int>(part), *output_);
        if (!partReason.empty()) return false;
    }
    return true;
}

void WriteFrameFile(const std::string& path, const Image& image, const FrameFormat& format,
                    const float* extras, OIIO::TypeDesc type) {
    PendingFrameFile(path, image, format, extras, type).Write();
}

}  // namespace taviron::cli
