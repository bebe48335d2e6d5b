#include "io/writing/stored_type.h"

#include <OpenImageIO/filesystem.h>

#include <vector>

namespace taviron::cli {

std::optional<OIIO::TypeDesc> StoredType(const std::string& path, OIIO::ImageSpec spec) {
    // The memory outlives the file, which may still write to it as it goes.
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput memory(bytes);
    auto probe = OIIO::ImageOutput::create(path);
    if (!probe || !probe->supports("ioproxy")) return std::nullopt;
    spec.width = spec.height = spec.full_width = spec.full_height = 1;
    spec.x = spec.y = spec.full_x = spec.full_y = 0;
    if (!probe->set_ioproxy(&memory) || !probe->open(path, spec)) return std::nullopt;
    const OIIO::ImageSpec stored = probe->spec();
    const std::vector<float> pixel(static_cast<size_t>(spec.nchannels), 0.0f);
    const bool written = probe->write_image(OIIO::TypeDesc::FLOAT, pixel.data()) && probe->close();
    if (!written || !stored.channelformats.empty()) return std::nullopt;
    return stored.format;
}

}  // namespace taviron::cli
