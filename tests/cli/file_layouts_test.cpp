// Files as renderers and other tools write them: tiled (one level, mipmapped,
// ripmapped), TIFFs in separate planes, deep images. Each layout renders
// exactly as its scanline twin does, or is refused naming the file; the
// twins are made by OpenEXR's, libtiff's, ImageMagick's and OpenImageIO's
// own command-line tools.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a tool of the system's; its output is kept out of the test's.
void Make(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

class FileLayoutTest : public ::testing::Test {
protected:
    // More rows than one band of the reader, and sides no tile divides.
    static constexpr int kWidth = 21;
    static constexpr int kHeight = 70;

    std::string File(const std::string& name, int frame, const std::string& extension) const {
        return FrameFile(dir.Path(), name, frame, extension);
    }

    void WriteClip(const std::string& name, const std::string& extension, std::vector<std::string> channels,
                   OIIO::TypeDesc type, int frames = 4) {
        for (int frame = 1; frame <= frames; ++frame)
            WritePicture(File(name, frame, extension),
                         RandomPicture(kWidth, kHeight, channels, 300u + static_cast<unsigned>(frame), 255), type);
    }

    // `taviron render` of name.####.extension into out.####.extension.
    CliResult Render(const std::string& name, const std::string& out, const std::string& extension,
                     std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / (name + ".####." + extension), "-o",
                                              dir / (out + ".####." + extension), "--frames", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    }

    // The outputs of two renders hold the same samples, bit for bit.
    void ExpectSameOutputs(const std::string& one, const std::string& other, const std::string& extension,
                           int frames = 4) {
        for (int frame = 1; frame <= frames; ++frame) {
            const Picture a = ReadPicture(File(one, frame, extension));
            const Picture b = ReadPicture(File(other, frame, extension));
            EXPECT_EQ(a.channels, b.channels) << "frame " << frame;
            EXPECT_EQ(a.samples, b.samples) << one << " and " << other << ", frame " << frame;
        }
    }

    ScratchDirectory dir;
};

// The image library's scanline read of a tiled file stopped the program with
// a floating-point exception: as input, as a window neighbour amid scanline
// frames and as a mask. Each level layout of OpenEXR, and a data window that
// no tile lines up with, are read at full resolution.
TEST_F(FileLayoutTest, TiledExrRendersAsItsScanlineTwin) {
    WriteClip("plate", "exr", {"R", "G", "B", "A"}, OIIO::TypeDesc::HALF);
    Make("oiiotool " + Quoted(File("plate", 2, "exr")) + " --crop 15x50+4+9 -o " + Quoted(File("plate", 2, "exr")));
    Make("exrmaketiled -t 8 8 " + Quoted(File("plate", 1, "exr")) + " " + Quoted(File("tiled", 1, "exr")));
    Make("exrmaketiled -m -t 16 16 " + Quoted(File("plate", 2, "exr")) + " " + Quoted(File("tiled", 2, "exr")));
    Make("exrmaketiled -r -t 8 32 " + Quoted(File("plate", 3, "exr")) + " " + Quoted(File("tiled", 3, "exr")));
    Make("exrmaketiled -m -t 32 32 " + Quoted(File("plate", 4, "exr")) + " " + Quoted(File("tiled", 4, "exr")));
    WritePicture(dir / "matte.exr", RandomPicture(kWidth, kHeight, {"A"}, 5, 1), OIIO::TypeDesc::HALF);
    Make("exrmaketiled -m -t 16 16 " + Quoted(dir / "matte.exr") + " " + Quoted(dir / "tiledmatte.exr"));

    ASSERT_EQ(Render("plate", "scan", "exr", {"--mask", dir / "matte.exr"}).status, 0);
    const CliResult tiled = Render("tiled", "tile", "exr", {"--mask", dir / "tiledmatte.exr"});
    ASSERT_EQ(tiled.status, 0) << tiled.err;
    ExpectSameOutputs("scan", "tile", "exr");

    // One tiled frame amid scanline ones.
    Make("cp " + Quoted(File("tiled", 3, "exr")) + " " + Quoted(File("plate", 3, "exr")));
    const CliResult mixed = Render("plate", "mixed", "exr", {"--mask", dir / "matte.exr"});
    ASSERT_EQ(mixed.status, 0) << mixed.err;
    ExpectSameOutputs("scan", "mixed", "exr");
}

TEST_F(FileLayoutTest, TiledTiffRendersAsItsScanlineTwin) {
    WriteClip("plate", "tif", {"R", "G", "B"}, OIIO::TypeDesc::UINT8);
    for (int frame = 1; frame <= 4; ++frame)
        Make(frame % 2 ? "oiiotool " + Quoted(File("plate", frame, "tif")) + " --tile 16 16 -o " +
                             Quoted(File("tiled", frame, "tif"))
                       : "tiffcp -t -w 16 -l 32 " + Quoted(File("plate", frame, "tif")) + " " +
                             Quoted(File("tiled", frame, "tif")));
    ASSERT_EQ(Render("plate", "scan", "tif").status, 0);
    const CliResult tiled = Render("tiled", "tile", "tif");
    ASSERT_EQ(tiled.status, 0) << tiled.err;
    ExpectSameOutputs("scan", "tile", "tif");
}

// Each channel in a plane of its own: in one compressed strip per plane
// (ImageMagick's -interlace plane), which cannot be entered part way, and in
// strips of a few rows (tiffcp).
TEST_F(FileLayoutTest, TiffInSeparatePlanesRendersAsItsInterleavedTwin) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8);
    for (int frame = 1; frame <= 4; ++frame) {
        Make("/usr/bin/convert " + Quoted(File("plate", frame, "png")) + " " + Quoted(File("plate", frame, "tif")));
        Make("/usr/bin/convert " + Quoted(File("plate", frame, "png")) + " -interlace plane " +
             Quoted(File("planes", frame, "tif")));
        Make("tiffcp -p separate -r 16 " + Quoted(File("plate", frame, "tif")) + " " + Quoted(File("strips", frame, "tif")));
    }
    ASSERT_EQ(Render("plate", "contiguous", "tif").status, 0);
    for (const std::string name : {"planes", "strips"}) {
        const CliResult result = Render(name, name + "-out", "tif");
        ASSERT_EQ(result.status, 0) << result.err;
        ExpectSameOutputs("contiguous", name + "-out", "tif");
    }
}

// A deep frame is refused with what to do about it, and fails only the
// outputs whose window holds it.
TEST_F(FileLayoutTest, DeepExrIsRefusedSayingHowToFlattenIt) {
    WriteClip("plate", "exr", {"R", "G", "B", "A", "Z"}, OIIO::TypeDesc::FLOAT, 5);
    Make("oiiotool " + Quoted(File("plate", 5, "exr")) + " --deepen -o " + Quoted(File("plate", 5, "exr")));
    const CliResult result = Render("plate", "out", "exr");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("cannot read " + File("plate", 5, "exr") +
                              ": deep images are not supported; flatten them first, e.g. with oiiotool"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("frames not written: 4-5"), std::string::npos) << result.err;
}

}  // namespace
