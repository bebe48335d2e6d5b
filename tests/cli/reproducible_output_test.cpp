// Farm tools compare checksums: a render writes the same bytes every time,
// whole or in chunks, stamps no time of writing that its source lacked, and
// keeps each channel in the type its source stored it in.
#include "cli_run.h"
#include "sequence_files.h"
#include "system_tools.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class ReproducibleOutputTest : public ::testing::Test {
protected:
    static constexpr int kFrames = 6;

    std::string File(const std::string& name, int frame, const std::string& extension) const {
        return FrameFile(dir.Path(), name, frame, extension);
    }

    CliResult Render(const std::string& name, const std::string& out, const std::string& extension,
                     std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / (name + ".####." + extension), "-o",
                                              dir / (out + ".####." + extension), "--frames", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    }

    ScratchDirectory dir;
};

// Sources written by ImageMagick carry no date; the outputs of one render and
// of two chunks of it are the same bytes, and carry none either.
TEST_F(ReproducibleOutputTest, ChunksGiveTheBytesOfOneRunAndNoTimeOfWriting) {
    for (const std::string extension : {"exr", "tif", "dpx"}) {
        for (int frame = 1; frame <= kFrames; ++frame) {
            const std::string png = File("source", frame, "png");
            WritePicture(png, RandomPicture(9, 5, {"R", "G", "B"}, 40u + static_cast<unsigned>(frame), 255),
                         OIIO::TypeDesc::UINT16);
            Make("/usr/bin/convert " + Quoted(png) + " " + Quoted(File("plate", frame, extension)));
        }
        // Under the same names: DPX records the file's own name.
        ASSERT_EQ(Render("plate", "out", extension).status, 0) << extension;
        std::vector<std::string> whole;
        for (int frame = 1; frame <= kFrames; ++frame) whole.push_back(Bytes(File("out", frame, extension)));
        ASSERT_EQ(Render("plate", "out", extension, {"--range", "1-3"}).status, 0) << extension;
        ASSERT_EQ(Render("plate", "out", extension, {"--range", "4-6"}).status, 0) << extension;
        for (int frame = 1; frame <= kFrames; ++frame) {
            const std::string written = File("out", frame, extension);
            EXPECT_TRUE(Bytes(written) == whole[static_cast<size_t>(frame - 1)]) << written;
            if (extension == "dpx") continue;  // its header holds a date of its own, carried through
            auto file = OIIO::ImageInput::open(written);
            ASSERT_TRUE(file) << written;
            EXPECT_EQ(file->spec().get_string_attribute("DateTime"), "") << written;
        }
    }
}

// A date the source has is kept as it is.
TEST_F(ReproducibleOutputTest, SourceDateIsKept) {
    for (int frame = 1; frame <= 3; ++frame)
        Make("oiiotool --pattern noise 6x4 3 -d half --attrib DateTime '2001:02:03 04:05:06' -o " +
             Quoted(File("plate", frame, "exr")));
    ASSERT_EQ(Render("plate", "out", "exr").status, 0);
    auto file = OIIO::ImageInput::open(File("out", 2, "exr"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->spec().get_string_attribute("DateTime"), "2001:02:03 04:05:06");
}

// Half colour beside a float depth and a half extra channel, as renderers
// write them: each channel keeps its own type; --depth still sets them all.
TEST_F(ReproducibleOutputTest, EachChannelKeepsItsOwnType) {
    for (int frame = 1; frame <= 3; ++frame)
        Make("oiiotool --pattern noise 6x4 5 --chnames R,G,B,Z,N -d half -d Z=float -o " +
             Quoted(File("plate", frame, "exr")));
    ASSERT_EQ(Render("plate", "out", "exr").status, 0);
    ASSERT_EQ(Render("plate", "flat", "exr", {"--depth", "half"}).status, 0);
    const auto typesOf = [&](const std::string& name) {
        auto file = OIIO::ImageInput::open(File(name, 2, "exr"));
        EXPECT_TRUE(file) << name;
        std::vector<std::string> types;
        for (int c = 0; file && c < file->spec().nchannels; ++c)
            types.push_back(file->spec().channelnames[static_cast<size_t>(c)] + " " +
                            file->spec().channelformat(c).c_str());
        return types;
    };
    EXPECT_EQ(typesOf("out"), typesOf("plate"));
    EXPECT_EQ(typesOf("flat"), (std::vector<std::string>{"R half", "G half", "B half", "Z half", "N half"}));
    // Colour filtered, depth and the extra channel as the current frame holds them.
    const Picture source = ReadPicture(File("plate", 2, "exr"));
    const Picture result = ReadPicture(File("out", 2, "exr"));
    for (const std::string channel : {"Z", "N"}) {
        const int in = source.ChannelIndex(channel);
        const int out = result.ChannelIndex(channel);
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x)
                ASSERT_EQ(result.At(x, y, out), source.At(x, y, in)) << channel << " at " << x << "," << y;
    }
}

}  // namespace
