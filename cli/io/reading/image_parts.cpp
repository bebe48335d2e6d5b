#include "io/reading/image_parts.h"

#include "errors.h"
#include "io/reading/file_access.h"

#include <OpenImageIO/strutil.h>

#include <algorithm>
#include <cctype>

namespace taviron::cli {

namespace {

bool IsColourName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name == "r" || name == "g" || name == "b" || name == "red" || name == "green" || name == "blue";
}

std::string Named(const std::vector<OIIO::ImageSpec>& parts, int index) {
    const std::string name = parts[static_cast<size_t>(index)].get_string_attribute("name");
    return name.empty() ? OIIO::Strutil::fmt::format("part {}", index) : OIIO::Strutil::fmt::format("part {} \"{}\"", index, name);
}

}  // namespace

std::vector<OIIO::ImageSpec> PartsOf(OIIO::ImageInput& input) {
    std::vector<OIIO::ImageSpec> parts;
    for (int part = 0; input.seek_subimage(part, 0); ++part) parts.push_back(input.spec());
    input.seek_subimage(0, 0);
    return parts;
}

int ColourPartOf(const std::vector<OIIO::ImageSpec>& parts) {
    for (size_t part = 0; part < parts.size(); ++part)
        if (std::any_of(parts[part].channelnames.begin(), parts[part].channelnames.end(), IsColourName))
            return static_cast<int>(part);
    return 0;
}

void RequireCarriableParts(const std::string& path, const std::vector<OIIO::ImageSpec>& parts, int colour) {
    for (int part = 0; part < static_cast<int>(parts.size()); ++part) {
        if (part == colour) continue;
        const OIIO::ImageSpec& spec = parts[static_cast<size_t>(part)];
        if (spec.deep)
            throw InputError("cannot carry " + Named(parts, part) + " of " + path +
                             " through: deep parts are not supported; flatten it first, e.g. with oiiotool -a " +
                             path + " --flatten -o flat.exr");
        if (spec.depth > 1)
            throw InputError("cannot carry " + Named(parts, part) + " of " + path +
                             " through: volume parts are not supported");
    }
}

void RefuseUncarriedParts(const FramePattern& input, const FramePattern& output, const std::vector<int>& frames) {
    const std::vector<int> onDisk = input.FramesOnDisk();
    if (onDisk.empty() || !ReasonNotARegularFile(input.PathOf(onDisk.front())).empty()) return;
    const std::string path = input.PathOf(onDisk.front());
    auto file = OIIO::ImageInput::open(path);
    if (!file) {
        OIIO::geterror();  // the frame's own read names the fault
        return;
    }
    const std::vector<OIIO::ImageSpec> parts = PartsOf(*file);
    if (parts.size() < 2) return;
    const int colour = ColourPartOf(parts);
    RequireCarriableParts(path, parts, colour);
    auto writer = OIIO::ImageOutput::create(output.PathOf(frames.front()));
    if (writer && HoldsParts(*writer)) return;
    OIIO::geterror();
    throw UsageError(OIIO::Strutil::fmt::format("cannot carry {} of {} into {}: only an OpenEXR output (.exr) keeps the {} parts",
                                                Named(parts, colour == 0 ? 1 : 0), path, output.Text(), parts.size()));
}

bool HoldsParts(const OIIO::ImageOutput& output) { return output.format_name() == std::string("openexr"); }

OIIO::ImageSpec CarriedSpec(const OIIO::ImageSpec& part) {
    OIIO::ImageSpec spec = part;
    spec.tile_width = spec.tile_height = spec.tile_depth = 0;
    return spec;
}

std::string CopyPart(const std::string& source, int part, OIIO::ImageOutput& output) {
    auto input = OIIO::ImageInput::open(source);
    if (!input) return "cannot read " + source + ": " + OneLine(OIIO::geterror());
    input->threads(1);
    if (!input->seek_subimage(part, 0)) return OIIO::Strutil::fmt::format("cannot read part {} of {}", part, source);
    const OIIO::ImageSpec& spec = input->spec();
    std::vector<unsigned char> samples(spec.image_bytes(true));
    if (!input->read_image(part, 0, 0, spec.nchannels, OIIO::TypeDesc::UNKNOWN, samples.data()))
        return OIIO::Strutil::fmt::format("cannot read part {} of {}: {}", part, source, OneLine(input->geterror()));
    if (!output.write_image(OIIO::TypeDesc::UNKNOWN, samples.data())) return OneLine(output.geterror());
    return {};
}

}  // namespace taviron::cli
