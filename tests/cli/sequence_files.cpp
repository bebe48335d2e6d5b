#include "sequence_files.h"

#include <cstdio>
#include <random>
#include <stdexcept>

namespace {

// The image library's worker threads synchronise in ways the thread
// sanitizer cannot see; the tests read and write files on one thread.
const bool kNoOpenExrPool = [] { return OIIO::attribute("exr_threads", -1); }();

}  // namespace

int Picture::ChannelIndex(const std::string& name) const {
    for (size_t i = 0; i < channels.size(); ++i)
        if (channels[i] == name) return static_cast<int>(i);
    return -1;
}

Picture RandomPicture(int width, int height, std::vector<std::string> channels, unsigned seed, int levels) {
    Picture picture{width, height, std::move(channels), {}};
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> level(0, levels);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    picture.samples.resize(static_cast<size_t>(width) * height * picture.channels.size());
    for (float& sample : picture.samples)
        sample = levels > 0 ? static_cast<float>(level(random)) / static_cast<float>(levels) : value(random);
    return picture;
}

void WritePicture(const std::string& path, const Picture& picture, OIIO::TypeDesc type) {
    OIIO::ImageSpec spec(picture.width, picture.height, static_cast<int>(picture.channels.size()), type);
    spec.channelnames = picture.channels;
    spec.alpha_channel = picture.ChannelIndex("A");
    spec.z_channel = picture.ChannelIndex("Z");
    spec.attribute("oiio:UnassociatedAlpha", 1);
    auto output = OIIO::ImageOutput::create(path);
    if (output) output->threads(1);
    if (!output || !output->open(path, spec) || !output->write_image(OIIO::TypeDesc::FLOAT, picture.samples.data()) ||
        !output->close())
        throw std::runtime_error("cannot write " + path + ": " + OIIO::geterror());
}

Picture ReadPicture(const std::string& path) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto input = OIIO::ImageInput::open(path, &config);
    if (!input) throw std::runtime_error("cannot read " + path + ": " + OIIO::geterror());
    input->threads(1);
    const OIIO::ImageSpec& spec = input->spec();
    Picture picture{spec.width, spec.height, spec.channelnames, {}};
    picture.samples.resize(spec.image_pixels() * static_cast<size_t>(spec.nchannels));
    if (!input->read_image(0, 0, 0, spec.nchannels, OIIO::TypeDesc::FLOAT, picture.samples.data()))
        throw std::runtime_error("cannot read " + path + ": " + input->geterror());
    return picture;
}

OIIO::TypeDesc StoredType(const std::string& path) {
    auto input = OIIO::ImageInput::open(path);
    if (!input) throw std::runtime_error("cannot read " + path + ": " + OIIO::geterror());
    return input->spec().format;
}

std::string FrameFile(const std::string& directory, const std::string& name, int frame, const std::string& extension) {
    char file[256];
    std::snprintf(file, sizeof file, "%s/%s.%04d.%s", directory.c_str(), name.c_str(), frame, extension.c_str());
    return file;
}
