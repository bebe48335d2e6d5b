// Files as renderers and other tools write them: tiled (one level, mipmapped,
// ripmapped), TIFFs in separate planes, multi-part and deep images. Each layout renders
// exactly as its scanline twin does, or is refused naming the file; the
// twins are made by OpenEXR's, libtiff's, ImageMagick's and OpenImageIO's
// own command-line tools.
#include "cli_run.h"
#include "sequence_files.h"
#include "system_tools.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

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

// The name and the samples of one part of a file, in its stored types.
struct Part {
    std::string name;
    std::vector<std::string> channels;
    std::vector<OIIO::TypeDesc> types;
    std::vector<unsigned char> samples;
};

std::vector<Part> PartsOf(const std::string& path) {
    std::vector<Part> parts;
    auto file = OIIO::ImageInput::open(path);
    EXPECT_TRUE(file) << path;
    for (int index = 0; file && file->seek_subimage(index, 0); ++index) {
        const OIIO::ImageSpec& spec = file->spec();
        Part part{spec.get_string_attribute("name"), spec.channelnames, {}, {}};
        for (int c = 0; c < spec.nchannels; ++c) part.types.push_back(spec.channelformat(c));
        part.samples.resize(spec.image_bytes(true));
        EXPECT_TRUE(file->read_image(index, 0, 0, spec.nchannels, OIIO::TypeDesc::UNKNOWN, part.samples.data()));
        parts.push_back(std::move(part));
    }
    return parts;
}

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

// Real footage as a renderer's pipeline hands it over: a few frames of a
// camera clip decoded by ffmpeg into half-float OpenEXR, then made tiled and
// mipmapped by exrmaketiled.
TEST_F(FileLayoutTest, TiledMipmappedFootageRendersAsItsScanlineTwin) {
    const std::string clip = "/usr/share/doc/opencv-doc/examples/data/vtest.avi";
    ASSERT_TRUE(std::filesystem::exists(clip)) << "scripts/install-packages.sh installs opencv-doc";
    Make("ffmpeg -nostdin -i " + Quoted(clip) + " -vf scale=75:57 -frames:v 5 -c:v exr -format half " +
         "-compression zip1 " + Quoted(dir / "plate.%04d.exr"));
    for (int frame = 1; frame <= 5; ++frame)
        Make("exrmaketiled -m -t 16 16 " + Quoted(File("plate", frame, "exr")) + " " + Quoted(File("tiled", frame, "exr")));
    ASSERT_EQ(Render("plate", "scan", "exr").status, 0);
    const CliResult tiled = Render("tiled", "tile", "exr");
    ASSERT_EQ(tiled.status, 0) << tiled.err;
    ExpectSameOutputs("scan", "tile", "exr", 5);
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

// A beauty part between two parts of other passes, as renderers write them
// (combined by OpenEXR's own exrmultipart): the beauty part is filtered as
// the same pixels in a file of their own would be; the other parts come
// through as the current frame holds them, in their places, names and types.
TEST_F(FileLayoutTest, MultiPartExrFiltersTheColourPartAndCarriesTheOthers) {
    WriteClip("beauty", "exr", {"R", "G", "B", "A"}, OIIO::TypeDesc::HALF);
    WriteClip("normals", "exr", {"N.X", "N.Y", "N.Z"}, OIIO::TypeDesc::FLOAT);
    WriteClip("ids", "exr", {"id"}, OIIO::TypeDesc::HALF);
    for (int frame = 1; frame <= 4; ++frame)
        Make("exrmultipart -combine -i " + Quoted(File("normals", frame, "exr") + "::normals") + " " +
             Quoted(File("beauty", frame, "exr") + "::beauty") + " " + Quoted(File("ids", frame, "exr") + "::ids") +
             " -o " + Quoted(File("multi", frame, "exr")));
    ASSERT_EQ(Render("beauty", "alone", "exr").status, 0);
    const CliResult result = Render("multi", "out", "exr");
    ASSERT_EQ(result.status, 0) << result.err;
    for (int frame = 1; frame <= 4; ++frame) {
        const std::vector<Part> source = PartsOf(File("multi", frame, "exr"));
        const std::vector<Part> written = PartsOf(File("out", frame, "exr"));
        const std::vector<Part> alone = PartsOf(File("alone", frame, "exr"));
        ASSERT_EQ(written.size(), 3u) << "frame " << frame;
        EXPECT_EQ(written[0].name, "normals");
        EXPECT_EQ(written[1].name, "beauty");
        EXPECT_EQ(written[2].name, "ids");
        EXPECT_EQ(written[1].samples, alone[0].samples) << "frame " << frame;
        for (size_t part : {0u, 2u}) {
            EXPECT_EQ(written[part].channels, source[part].channels);
            EXPECT_EQ(written[part].types, source[part].types);
            EXPECT_EQ(written[part].samples, source[part].samples) << "frame " << frame << ", part " << part;
        }
    }
}

// A part that cannot be carried through, and parts for an output that holds
// none, are refused before anything is rendered, naming the file and the part.
TEST_F(FileLayoutTest, MultiPartExrThatCannotBeCarriedIsRefusedNamingThePart) {
    WriteClip("beauty", "exr", {"R", "G", "B"}, OIIO::TypeDesc::HALF, 2);
    WriteClip("ids", "exr", {"id"}, OIIO::TypeDesc::FLOAT, 2);
    WriteClip("samples", "exr", {"R", "G", "B", "A", "Z"}, OIIO::TypeDesc::FLOAT, 2);
    for (int frame = 1; frame <= 2; ++frame) {
        Make("exrmultipart -combine -i " + Quoted(File("beauty", frame, "exr") + "::beauty") + " " +
             Quoted(File("ids", frame, "exr") + "::ids") + " -o " + Quoted(File("multi", frame, "exr")));
        Make("oiiotool " + Quoted(File("samples", frame, "exr")) + " --deepen -o " + Quoted(File("deep", frame, "exr")));
        Make("exrmultipart -combine -i " + Quoted(File("beauty", frame, "exr") + "::beauty") + " " +
             Quoted(File("deep", frame, "exr") + "::ids") + " -o " + Quoted(File("withdeep", frame, "exr")));
    }
    const CliResult deep = Render("withdeep", "out", "exr");
    EXPECT_EQ(deep.status, 2);
    EXPECT_NE(deep.err.find("cannot carry part 1 \"ids\" of " + File("withdeep", 1, "exr") +
                            " through: deep parts are not supported"),
              std::string::npos)
        << deep.err;
    const std::vector<std::string> arguments = {"render", "-q", "-i", dir / "multi.####.exr", "-o",
                                                dir / "out.####.tif", "--frames", "1"};
    const CliResult flat = RunTaviron(arguments);
    EXPECT_EQ(flat.status, 1);
    EXPECT_NE(flat.err.find("cannot carry part 1 \"ids\" of " + File("multi", 1, "exr") + " into "),
              std::string::npos)
        << flat.err;
    for (const std::string& name : dir.Files()) EXPECT_EQ(name.rfind("out.", 0), std::string::npos) << name;
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
