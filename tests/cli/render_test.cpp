// `taviron render` on small sequences: the files it writes hold what the
// plug-in gives for the same pixels in memory.
#include "cli_run.h"
#include "plugin_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <regex>

namespace {

class RenderTest : public PluginReference {
protected:
    // Frames first..last of random pictures, written as name.NNNN.extension.
    std::map<int, std::string> WriteClip(const std::string& name, const std::string& extension,
                                         std::vector<std::string> channels, OIIO::TypeDesc type, int first, int last,
                                         int levels = 0) {
        std::map<int, std::string> files;
        for (int frame = first; frame <= last; ++frame) {
            files[frame] = FrameFile(dir.Path(), name, frame, extension);
            WritePicture(files[frame], RandomPicture(kWidth, kHeight, channels, 100u + static_cast<unsigned>(frame), levels),
                         type);
        }
        return files;
    }

    static void ExpectChannel(const Picture& file, const std::string& name, const Picture& expected,
                              const std::string& expectedName, int frame) {
        const int fileChannel = file.ChannelIndex(name);
        const int expectedChannel = expected.ChannelIndex(expectedName);
        ASSERT_GE(fileChannel, 0) << name;
        ASSERT_GE(expectedChannel, 0) << expectedName;
        for (int y = 0; y < file.height; ++y)
            for (int x = 0; x < file.width; ++x)
                ASSERT_EQ(file.At(x, y, fileChannel), expected.At(x, y, expectedChannel))
                    << "frame " << frame << " channel " << name << " at " << x << "," << y;
    }

    // 8-bit files hold the reference's floats rounded to 1/255.
    static void ExpectEightBit(const Picture& file, const Picture& expected, int frame) {
        for (const std::string name : {"R", "G", "B"}) {
            const int c = file.ChannelIndex(name);
            const int e = expected.ChannelIndex(name);
            for (int y = 0; y < file.height; ++y)
                for (int x = 0; x < file.width; ++x)
                    ASSERT_EQ(std::lround(file.At(x, y, c) * 255.0f), std::lround(expected.At(x, y, e) * 255.0f))
                        << "frame " << frame << " channel " << name << " at " << x << "," << y;
        }
    }

    static int FramesRead(const std::string& summary) {
        const size_t end = summary.find(" input frames read from disk");
        if (end == std::string::npos) return -1;
        const size_t start = summary.rfind(' ', end - 1);
        return std::stoi(summary.substr(start + 1, end - start - 1));
    }

    static constexpr int kWidth = 7;
    static constexpr int kHeight = 5;
    ScratchDirectory dir;
};

TEST_F(RenderTest, FloatExrMatchesThePluginAndCarriesDepthAndExtraChannelsThrough) {
    const auto clip = WriteClip("plate", "exr", {"R", "G", "B", "A", "Z", "id"}, OIIO::TypeDesc::FLOAT, 1, 5);
    const CliResult result =
        RunTaviron({"render", "-i", dir / "plate.####.exr", "-o", dir / "out.%04d.exr", "--frames", "2", "--threads", "2"});
    ASSERT_EQ(result.status, 0) << result.err;

    for (const auto& [frame, path] : clip) {
        const std::string outPath = FrameFile(dir.Path(), "out", frame, "exr");
        const Picture written = ReadPicture(outPath);
        const Picture source = ReadPicture(path);
        EXPECT_EQ(written.channels, source.channels);
        EXPECT_EQ(StoredType(outPath), OIIO::TypeDesc::FLOAT);
        const Picture expected = Render({clip, "", {}, {{"Frames", 2.0}}}, frame);
        for (const std::string name : {"R", "G", "B", "A", "Z"}) ExpectChannel(written, name, expected, name, frame);
        ExpectChannel(written, "Z", source, "Z", frame);
        ExpectChannel(written, "id", source, "id", frame);
    }
}

TEST_F(RenderTest, EightBitMaxWrittenAsEightBitHoldsTheMaximaOfTheFiles) {
    const auto clip = WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 4, 255);
    const CliResult result = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "max.####.png", "--method",
                                         "max", "--frames", "3", "--direction", "forward"});
    ASSERT_EQ(result.status, 0) << result.err;

    const Picture first = ReadPicture(FrameFile(dir.Path(), "max", 1, "png"));
    ASSERT_EQ(first.channels.size(), 3u);  // no alpha added
    EXPECT_EQ(StoredType(FrameFile(dir.Path(), "max", 1, "png")), OIIO::TypeDesc::UINT8);
    std::vector<Picture> inputs;
    for (const auto& [frame, path] : clip) inputs.push_back(ReadPicture(path));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            for (int c = 0; c < 3; ++c) {
                long maximum = 0;
                for (const Picture& input : inputs) maximum = std::max(maximum, std::lround(input.At(x, y, c) * 255.0f));
                ASSERT_EQ(std::lround(first.At(x, y, c) * 255.0f), maximum) << x << "," << y << " channel " << c;
            }
        }
    }
    for (int frame = 2; frame <= 4; ++frame)
        ExpectEightBit(ReadPicture(FrameFile(dir.Path(), "max", frame, "png")),
                       Render({clip, "", {}, {{"FilterMethod", 2.0}, {"Frames", 3.0}, {"SampleDirection", 2.0}}}, frame),
                       frame);

    // The host's own spelling of the direction, in any case, is the same window.
    const CliResult hostSpelling = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "host.####.png",
                                               "--method", "MAX", "--frames", "3", "--direction", "Foreward"});
    ASSERT_EQ(hostSpelling.status, 0) << hostSpelling.err;
    for (int frame = 1; frame <= 4; ++frame)
        EXPECT_EQ(ReadPicture(FrameFile(dir.Path(), "host", frame, "png")).samples,
                  ReadPicture(FrameFile(dir.Path(), "max", frame, "png")).samples);
}

TEST_F(RenderTest, ChunksOfTheRangeGiveTheSameFilesAsOneRun) {
    WriteClip("plate", "exr", {"R", "G", "B", "A"}, OIIO::TypeDesc::HALF, 1, 6);
    const std::vector<std::string> common = {"-i", dir / "plate.####.exr", "--method", "average", "--frames", "2"};
    auto render = [&](const std::string& output, const std::string& range) {
        std::vector<std::string> arguments = {"render", "-o", dir / output, "--range", range};
        arguments.insert(arguments.end(), common.begin(), common.end());
        return RunTaviron(arguments);
    };
    ASSERT_EQ(render("whole.####.exr", "1-6").status, 0);
    ASSERT_EQ(render("chunk.####.exr", "1-2").status, 0);
    ASSERT_EQ(render("chunk.####.exr", "3-5").status, 0);
    ASSERT_EQ(render("chunk.####.exr", "6").status, 0);
    for (int frame = 1; frame <= 6; ++frame) {
        EXPECT_EQ(ReadPicture(FrameFile(dir.Path(), "chunk", frame, "exr")).samples,
                  ReadPicture(FrameFile(dir.Path(), "whole", frame, "exr")).samples)
            << "frame " << frame;
        EXPECT_EQ(StoredType(FrameFile(dir.Path(), "whole", frame, "exr")), OIIO::TypeDesc::HALF);
    }
}

TEST_F(RenderTest, SingleFileMaskServesEveryFrameAndKeepsTheSourceWhereItIsZero) {
    const auto clip = WriteClip("plate", "png", {"R", "G", "B", "A"}, OIIO::TypeDesc::UINT8, 1, 3, 255);
    Picture mask{kWidth, kHeight, {"Y"}, std::vector<float>(kWidth * kHeight, 1.0f)};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < 3; ++x) mask.samples[static_cast<size_t>(y * kWidth + x)] = 0.0f;
    WritePicture(dir / "mask.png", mask, OIIO::TypeDesc::UINT8);

    const CliResult result = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--mask",
                                         dir / "mask.png", "--frames", "1", "--method", "min"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const auto& [frame, path] : clip) {
        const Picture written = ReadPicture(FrameFile(dir.Path(), "out", frame, "png"));
        const Picture source = ReadPicture(path);
        ExpectEightBit(written, Render({clip, dir / "mask.png", {}, {{"FilterMethod", 3.0}, {"Frames", 1.0}}}, frame),
                       frame);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < 3; ++x)
                for (int c = 0; c < 4; ++c) ASSERT_EQ(written.At(x, y, c), source.At(x, y, c));
    }
}

// The convention's word in any case, as every word of the command line.
TEST_F(RenderTest, OffsetTrackReachesTheToolAsWritten) {
    const auto clip = WriteClip("plate", "exr", {"R", "G", "B", "A"}, OIIO::TypeDesc::FLOAT, 1, 5);
    std::ofstream(dir / "track.csv") << "frame,x,y\n1,0.5,0.5\n2,0.6,0.4\n3,0.7,0.45\n\n4,0.2,0.9\n5,0.3,0.6\n";
    const CliResult result = RunTaviron({"render", "-i", dir / "plate.####.exr", "-o", dir / "out.####.exr", "--track",
                                         dir / "track.csv", "--track-convention", "Offset", "--frames", "2"});
    ASSERT_EQ(result.status, 0) << result.err;

    const std::map<int, std::pair<double, double>> track = {{1, {0.5, 0.5}}, {2, {0.6, 0.4}}, {3, {0.7, 0.45}}, {4, {0.2, 0.9}}, {5, {0.3, 0.6}}};
    for (int frame = 1; frame <= 5; ++frame) {
        const Picture written = ReadPicture(FrameFile(dir.Path(), "out", frame, "exr"));
        const Picture expected = Render({clip, "", track, {{"Frames", 2.0}, {"UseData", 1.0}}}, frame);
        for (const std::string name : {"R", "G", "B", "A"}) ExpectChannel(written, name, expected, name, frame);
    }
    const Picture untracked = Render({clip, "", {}, {{"Frames", 2.0}}}, 3);
    const Picture tracked = Render({clip, "", track, {{"Frames", 2.0}, {"UseData", 1.0}}}, 3);
    EXPECT_NE(tracked.samples, untracked.samples) << "the track must move the samples for this test to mean anything";
}

// A camera panning by whole pixels over a real street scene: each frame is a
// window cut from a bigger picture at its own place, and the track holds
// where one point of the scene is in each frame, written as pixel / size as
// trackers write it. The sides are not powers of two, so the displacements
// the tool works out come back a hair off whole pixels.
class PannedPlateTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 90;
    static constexpr int kHeight = 60;
    // Window corners in the street picture, frames 1 to 5: moving in x and y.
    const std::vector<std::pair<int, int>> corners = {{30, 20}, {33, 18}, {27, 24}, {36, 16}, {24, 27}};
    const std::pair<int, int> feature = {70, 40};  // in the street picture

    void SetUp() override {
        const Picture street = ReadPicture(TAVIRON_TEST_DATA_DIR "/street.png");
        std::ofstream track(dir / "track.csv");
        track << std::setprecision(17) << "frame,x,y\n";
        for (size_t i = 0; i < corners.size(); ++i) {
            const auto [left, top] = corners[i];
            WritePicture(FrameFile(dir.Path(), "plate", Frame(i), "png"), Cut(street, left, top), OIIO::TypeDesc::UINT8);
            track << Frame(i) << ',' << static_cast<double>(feature.first - left) / kWidth << ','
                  << static_cast<double>(feature.second - top) / kHeight << '\n';
        }
    }

    static int Frame(size_t index) { return static_cast<int>(index) + 1; }

    static Picture Cut(const Picture& picture, int left, int top) {
        Picture cut;
        cut.width = kWidth;
        cut.height = kHeight;
        cut.channels = picture.channels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (size_t c = 0; c < picture.channels.size(); ++c)
                    cut.samples.push_back(picture.At(left + x, top + y, static_cast<int>(c)));
        return cut;
    }

    // Pixels of `frame` whose scene point lies inside every frame of its
    // window that exists, that differ between `rendered` and the plate.
    int MismatchesInsideTheOverlap(const std::string& rendered, int frame, int reach) const {
        const Picture plate = ReadPicture(FrameFile(dir.Path(), "plate", frame, "png"));
        const Picture out = ReadPicture(FrameFile(dir.Path(), rendered, frame, "png"));
        const auto [left, top] = corners[static_cast<size_t>(frame - 1)];
        int mismatches = 0;
        int compared = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                bool inside = true;
                for (int other = std::max(1, frame - reach); other <= std::min(5, frame + reach); ++other) {
                    const auto [otherLeft, otherTop] = corners[static_cast<size_t>(other - 1)];
                    const int sx = x + left - otherLeft;
                    const int sy = y + top - otherTop;
                    inside = inside && sx >= 0 && sx < kWidth && sy >= 0 && sy < kHeight;
                }
                if (!inside) continue;
                ++compared;
                for (int c = 0; c < 3; ++c) mismatches += out.At(x, y, c) != plate.At(x, y, c);
            }
        }
        EXPECT_GT(compared, kWidth * kHeight / 3) << "frame " << frame;
        return mismatches;
    }

    CliResult Render(const std::string& output, std::vector<std::string> more) const {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / "plate.####.png", "-o",
                                              dir / (output + ".####.png"), "--frames", "2", "--method", "median"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    }

    ScratchDirectory dir;
};

TEST_F(PannedPlateTest, TrackedMedianOfAFeatureTrackIsTheUnmovedFrame) {
    ASSERT_EQ(Render("tracked", {"--track", dir / "track.csv"}).status, 0);
    for (int frame = 1; frame <= 5; ++frame) EXPECT_EQ(MismatchesInsideTheOverlap("tracked", frame, 2), 0) << frame;

    // The tool's own convention, asked for, with the points it expects.
    std::ifstream feature(dir / "track.csv");
    std::ofstream offsets(dir / "offsets.csv");
    std::string line;
    std::getline(feature, line);
    for (int frame = 0; feature >> frame;) {
        double x = 0.0;
        double y = 0.0;
        char comma = 0;
        feature >> comma >> x >> comma >> y;
        offsets << std::setprecision(17) << frame << ',' << -x << ',' << -y << '\n';
    }
    offsets.close();
    ASSERT_EQ(Render("offsets", {"--track", dir / "offsets.csv", "--track-convention", "offset"}).status, 0);
    for (int frame = 1; frame <= 5; ++frame) EXPECT_EQ(MismatchesInsideTheOverlap("offsets", frame, 2), 0) << frame;

    // Unregistered, the pan blurs the scene: the comparison can see it.
    ASSERT_EQ(Render("untracked", {}).status, 0);
    EXPECT_GT(MismatchesInsideTheOverlap("untracked", 3, 2), 100);
}

TEST_F(RenderTest, EachInputFrameIsReadOnceInMemoryOrBeyondIt) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 8, 255);
    const CliResult cached =
        RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "a.####.png", "--frames", "2"});
    ASSERT_EQ(cached.status, 0) << cached.err;
    EXPECT_EQ(FramesRead(cached.err), 8) << cached.err;

    // More memory than the machine can address is no limit, not none.
    const CliResult unlimited = RunTaviron(
        {"render", "-i", dir / "plate.####.png", "-o", dir / "c.####.png", "--frames", "2", "--cache-mb", "1e15"});
    ASSERT_EQ(unlimited.status, 0) << unlimited.err;
    EXPECT_EQ(FramesRead(unlimited.err), 8) << unlimited.err;

    // Without room in memory the frames wait in the scratch folder, still
    // read once, with the same result.
    const ScratchDirectory scratch;
    const CliResult uncached = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "b.####.png",
                                           "--frames", "2", "--cache-mb", "0", "--scratch", scratch.Path()});
    ASSERT_EQ(uncached.status, 0) << uncached.err;
    EXPECT_EQ(FramesRead(uncached.err), 8) << uncached.err;
    for (int frame = 1; frame <= 8; ++frame)
        EXPECT_EQ(ReadPicture(FrameFile(dir.Path(), "a", frame, "png")).samples,
                  ReadPicture(FrameFile(dir.Path(), "b", frame, "png")).samples);
}

TEST_F(RenderTest, MissingInputFrameGetsNoOutputWhileTheRestRender) {
    auto clip = WriteClip("plate", "exr", {"R", "G", "B", "A"}, OIIO::TypeDesc::FLOAT, 1, 5);
    std::filesystem::remove(clip.at(3));
    clip.erase(3);
    const CliResult result = RunTaviron({"render", "-i", dir / "plate.####.exr", "-o", dir / "out.####.exr",
                                         "--range", "1-5", "--frames", "1"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("plate.0003.exr"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(FrameFile(dir.Path(), "out", 3, "exr")));
    for (int frame : {1, 2, 4, 5}) {
        const Picture written = ReadPicture(FrameFile(dir.Path(), "out", frame, "exr"));
        const Picture expected = Render({clip, "", {}, {{"Frames", 1.0}}}, frame);
        for (const std::string name : {"R", "G", "B", "A"}) ExpectChannel(written, name, expected, name, frame);
    }
}

TEST_F(RenderTest, GreyInputGivesGreyOutputAtTheRequestedDepth) {
    WriteClip("grey", "png", {"Y"}, OIIO::TypeDesc::UINT8, 1, 3, 255);
    const CliResult result = RunTaviron(
        {"render", "-i", dir / "grey.####.png", "-o", dir / "out.####.tif", "--frames", "1", "--depth", "16"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string out = FrameFile(dir.Path(), "out", 2, "tif");
    EXPECT_EQ(ReadPicture(out).channels.size(), 1u);
    EXPECT_EQ(StoredType(out), OIIO::TypeDesc::UINT16);
}

// The words of a closed list are the same words in any case, for every such
// option alike.
TEST_F(RenderTest, ListedWordsAreTakenInAnyCase) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 3, 255);
    const auto render = [&](const std::string& output, std::vector<std::string> words) {
        std::vector<std::string> arguments = {"render", "-i", dir / "plate.####.png", "-o", dir / output,
                                              "--frames", "1", "--range", "2"};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return RunTaviron(arguments);
    };
    const CliResult lower = render("lower.####.exr", {"--depth", "half", "--method", "average", "--direction",
                                                      "forward", "--channels", "rg"});
    ASSERT_EQ(lower.status, 0) << lower.err;
    const CliResult mixed = render("mixed.####.exr", {"--depth", "HALF", "--method", "AVERAGE", "--direction",
                                                      "Foreward", "--channels", "Rg"});
    ASSERT_EQ(mixed.status, 0) << mixed.err;
    const std::string written = FrameFile(dir.Path(), "mixed", 2, "exr");
    EXPECT_EQ(StoredType(written), OIIO::TypeDesc::HALF);
    EXPECT_EQ(ReadPicture(written).samples, ReadPicture(FrameFile(dir.Path(), "lower", 2, "exr")).samples);
}

// ---- OpenEXR data windows ---------------------------------------------------

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

bool OiiotoolRuns(const std::string& arguments) {
    return std::system(("oiiotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

// Auto-cropped renders: every frame is placed in its display window by its
// data window, zeros around it, so a frame whose window starts further right
// is not mixed in shifted. The reference is oiiotool's own: each frame
// widened to its display window, the median of three as max(min(a, b),
// min(max(a, b), c)).
TEST_F(RenderTest, ExrDataWindowsAreRegisteredByPixelPosition) {
    if (!OiiotoolRuns("--version")) GTEST_SKIP() << "needs oiiotool";
    const std::vector<std::string> crops = {"12x9+0+0", "10x6+5+3", "9x12+7+0", "16x12+0+0"};
    for (int frame = 1; frame <= 4; ++frame) {
        const std::string whole = FrameFile(dir.Path(), "whole", frame, "exr");
        WritePicture(whole, RandomPicture(16, 12, {"R", "G", "B", "A"}, 40u + static_cast<unsigned>(frame)),
                     OIIO::TypeDesc::FLOAT);
        ASSERT_TRUE(OiiotoolRuns(Quoted(whole) + " --crop " + crops[static_cast<size_t>(frame - 1)] + " -o " +
                                 Quoted(FrameFile(dir.Path(), "plate", frame, "exr"))));
    }
    const auto plate = [&](int frame) { return Quoted(FrameFile(dir.Path(), "plate", frame, "exr")) + " --croptofull "; };
    for (int frame = 2; frame <= 3; ++frame)
        ASSERT_TRUE(OiiotoolRuns(plate(frame - 1) + plate(frame) + "--min " + plate(frame - 1) + plate(frame) + "--max " +
                                 plate(frame + 1) + "--min --max -o " + Quoted(FrameFile(dir.Path(), "ref", frame, "exr"))));
    {
        auto cropped = OIIO::ImageInput::open(FrameFile(dir.Path(), "plate", 2, "exr"));
        ASSERT_TRUE(cropped);
        ASSERT_EQ(cropped->spec().x, 5) << "the frames must have data windows for this test to mean anything";
        ASSERT_EQ(cropped->spec().full_width, 16);
    }

    const CliResult result = RunTaviron({"render", "-i", dir / "plate.####.exr", "-o", dir / "out.####.exr", "--range",
                                         "2-3", "--frames", "1", "--method", "median", "--channels", "rgba"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (int frame = 2; frame <= 3; ++frame) {
        const std::string out = FrameFile(dir.Path(), "out", frame, "exr");
        auto written = OIIO::ImageInput::open(out);
        ASSERT_TRUE(written);
        const OIIO::ImageSpec& spec = written->spec();
        EXPECT_EQ(std::vector<int>({spec.x, spec.y, spec.width, spec.height}), std::vector<int>({0, 0, 16, 12}));
        EXPECT_EQ(std::vector<int>({spec.full_x, spec.full_y, spec.full_width, spec.full_height}),
                  std::vector<int>({0, 0, 16, 12}));
        const Picture expected = ReadPicture(FrameFile(dir.Path(), "ref", frame, "exr"));
        EXPECT_EQ(ReadPicture(out).samples, expected.samples) << "frame " << frame;
    }
}

// ---- Output type and encoding --------------------------------------------------

// One 16-bit frame among 8-bit ones: the sequence is written in the type of
// its first file, so no output frame changes depth.
TEST_F(RenderTest, OneSixteenBitFrameDoesNotChangeTheOutputDepth) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 4, 255);
    WritePicture(FrameFile(dir.Path(), "plate", 3, "png"), RandomPicture(kWidth, kHeight, {"R", "G", "B"}, 9, 255),
                 OIIO::TypeDesc::UINT16);
    const CliResult result =
        RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--frames", "1", "--range", "2-4"});
    ASSERT_EQ(result.status, 0) << result.err;
    for (int frame = 2; frame <= 4; ++frame)
        EXPECT_EQ(StoredType(FrameFile(dir.Path(), "out", frame, "png")), OIIO::TypeDesc::UINT8) << frame;
}

TEST_F(RenderTest, EncodingOptionsReachTheFiles) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 2, 255);
    const auto render = [&](const std::string& out, const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / "plate.####.png", "-o", dir / out, "--frames", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const CliResult result = RunTaviron(arguments);
        EXPECT_EQ(result.status, 0) << result.err;
        return std::filesystem::file_size(dir / (out.substr(0, out.find('#')) + "0001" + out.substr(out.rfind('#') + 1)));
    };
    render("piz.####.exr", {"--exr-compression", "piz"});
    render("dwaa.####.exr", {"--exr-compression", "dwaa:45"});
    for (const char* name : {"piz", "dwaa"}) {
        auto file = OIIO::ImageInput::open(FrameFile(dir.Path(), name, 1, "exr"));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->spec().get_string_attribute("compression"), name);
    }
    render("deflated.####.exr", {"--exr-compression", "zip:9"});
    render("fine.####.exr", {"--exr-compression", "dwaa:7"});
    auto fine = OIIO::ImageInput::open(FrameFile(dir.Path(), "fine", 1, "exr"));
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->spec().get_float_attribute("openexr:dwaCompressionLevel"), 7.0f);
    EXPECT_LT(render("low.####.jpg", {"--jpeg-quality", "5"}), render("high.####.jpg", {"--jpeg-quality", "100"}));
    // A flat picture, which deflating packs well.
    for (int frame = 1; frame <= 2; ++frame)
        WritePicture(FrameFile(dir.Path(), "plate", frame, "png"),
                     Picture{64, 64, {"R", "G", "B"}, std::vector<float>(64 * 64 * 3, 0.5f)}, OIIO::TypeDesc::UINT8);
    EXPECT_LT(render("packed.####.png", {"--png-level", "9"}), render("stored.####.png", {"--png-level", "0"}));
}

// The default JPEG quality that `render --help` states is the one an
// independent reader finds in a file written without --jpeg-quality.
TEST_F(RenderTest, HelpStatesTheJpegQualityFilesAreWrittenAt) {
    const CliResult help = RunTaviron({"render", "--help"});
    std::smatch stated;
    ASSERT_TRUE(std::regex_search(help.out, stated, std::regex(R"(--jpeg-quality INT=[^\n]*\((\d+)\))"))) << help.out;
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 2, 255);
    const CliResult result = RunTaviron(
        {"render", "-q", "-i", dir / "plate.####.png", "-o", dir / "out.####.jpg", "--frames", "1"});
    ASSERT_EQ(result.status, 0) << result.err;
    FILE* identify = popen(("identify -format %Q '" + FrameFile(dir.Path(), "out", 1, "jpg") + "'").c_str(), "r");
    ASSERT_TRUE(identify);
    char quality[16] = {};
    const size_t length = std::fread(quality, 1, sizeof quality - 1, identify);
    ASSERT_EQ(pclose(identify), 0);
    EXPECT_EQ(std::string(quality, length), stated[1].str());
}

// ---- Planning and resuming --------------------------------------------------------

TEST_F(RenderTest, DryRunShowsWhatWouldBeReadWrittenAndSkippedAndWritesNothing) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 6, 255);
    std::filesystem::remove(FrameFile(dir.Path(), "plate", 4, "png"));
    WritePicture(FrameFile(dir.Path(), "out", 2, "png"), RandomPicture(kWidth, kHeight, {"R", "G", "B"}, 5, 255),
                 OIIO::TypeDesc::UINT8);
    const std::vector<std::string> before = dir.Files();
    const std::string in = dir / "plate.####.png";
    const std::string out = dir / "out.####.png";
    const CliResult result = RunTaviron({"render", "-i", in, "-o", out, "--frames", "1", "--range", "2-7", "--dry-run",
                                         "--skip-existing"});
    // As the render would: frames 4 and 7 have no input.
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_EQ(result.out, "dry run: no frame is decoded or written\n"
                          "window: frames -1 to +1 around each frame\n"
                          "read " + in + ": frames 2-3, 5-6\n"
                          "write " + out + ": frames 3, 5-6\n"
                          "skip, no input file, " + in + ": frames 4, 7\n"
                          "skip, complete output exists, " + out + ": frame 2\n");
    EXPECT_EQ(dir.Files(), before);
}

// A dry run ends with the status the render would end with, for every file
// the render would miss: no input frame in the range, or a missing mask.
TEST_F(RenderTest, DryRunPredictsTheRendersStatus) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 4, 255);
    WriteClip("mask", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 4, 255);
    std::filesystem::remove(FrameFile(dir.Path(), "mask", 3, "png"));
    const std::vector<std::string> before = dir.Files();
    const auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> arguments = {"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png",
                                              "--frames", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        arguments.push_back("--dry-run");
        const CliResult planned = RunTaviron(arguments);
        EXPECT_EQ(dir.Files(), before);
        arguments.pop_back();
        arguments.push_back("-q");
        const CliResult rendered = RunTaviron(arguments);
        EXPECT_EQ(planned.status, rendered.status) << planned.out << rendered.err;
        for (const std::string& name : dir.Files())
            if (name.rfind("out.", 0) == 0) std::filesystem::remove(dir / name);
        return planned;
    };
    EXPECT_EQ(run({"--range", "1-2"}).status, 0);
    EXPECT_EQ(run({"--range", "8-9"}).status, 2);
    const CliResult masked = run({"--mask", dir / "mask.####.png"});
    EXPECT_EQ(masked.status, 2);
    EXPECT_NE(masked.out.find("skip, no mask file, " + dir / "mask.####.png" + ": frame 3\n"), std::string::npos)
        << masked.out;
    EXPECT_NE(masked.out.find("write " + dir / "out.####.png" + ": frames 1-2, 4\n"), std::string::npos) << masked.out;
    EXPECT_EQ(run({"--mask", dir / "gone.png"}).status, 2);
}

// A resumed render leaves complete outputs as they are; an empty file or a
// temporary one does not count as done.
TEST_F(RenderTest, SkipExistingKeepsCompleteOutputsOnlyAndMakesTheOutputFolder) {
    WriteClip("plate", "png", {"R", "G", "B"}, OIIO::TypeDesc::UINT8, 1, 4, 255);
    std::filesystem::create_directories(dir / "renders");
    const std::string done = FrameFile(dir / "renders", "out", 2, "png");
    WritePicture(done, RandomPicture(kWidth, kHeight, {"R", "G", "B"}, 5, 255), OIIO::TypeDesc::UINT8);
    const Picture kept = ReadPicture(done);
    std::ofstream(FrameFile(dir / "renders", "out", 3, "png"));  // empty
    std::ofstream(dir / "renders/.out.0004.png.taviron-999999999.tmp") << "half a frame";
    const CliResult result = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "renders/out.####.png",
                                         "--frames", "1", "--skip-existing"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("rendered 3 of 4 frames"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("1 skipped, their outputs exist"), std::string::npos) << result.err;
    EXPECT_EQ(ReadPicture(done).samples, kept.samples);
    for (int frame : {1, 3, 4}) EXPECT_EQ(ReadPicture(FrameFile(dir / "renders", "out", frame, "png")).width, kWidth);

    // A folder that does not exist yet is made.
    ASSERT_EQ(RunTaviron({"render", "-q", "-i", dir / "plate.####.png", "-o", dir / "new/deeper/out.####.png",
                          "--frames", "1"})
                  .status,
              0);
    EXPECT_TRUE(std::filesystem::exists(FrameFile(dir / "new/deeper", "out", 4, "png")));
}

}  // namespace
