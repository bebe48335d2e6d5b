// Small image files for the tests: pictures of random samples written and
// read with OpenImageIO, independently of the program under test.
#pragma once

#include <OpenImageIO/imageio.h>

#include <string>
#include <vector>

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::string> channels;
    std::vector<float> samples;  // interleaved

    float At(int x, int y, int channel) const {
        return samples[(static_cast<size_t>(y) * width + x) * channels.size() + static_cast<size_t>(channel)];
    }
    // Position of a channel by name, or -1.
    int ChannelIndex(const std::string& name) const;
};

// Samples in 0..1; with `levels` (e.g. 255) only multiples of 1/levels, so an
// 8-bit file holds them exactly.
Picture RandomPicture(int width, int height, std::vector<std::string> channels, unsigned seed, int levels = 0);

void WritePicture(const std::string& path, const Picture& picture, OIIO::TypeDesc type);
// Every sample as a float, as the file holds it.
Picture ReadPicture(const std::string& path);
// The pixel type the file stores.
OIIO::TypeDesc StoredType(const std::string& path);

// `directory/name.NNNN.extension`
std::string FrameFile(const std::string& directory, const std::string& name, int frame, const std::string& extension);
