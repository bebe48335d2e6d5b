// `taviron track` on plates cut from a real street clip with pedestrians
// (opencv-doc's vtest.avi, decoded by ffmpeg): a window walked across each
// frame by known moves, whole pixels cut by ImageMagick, fractions of pixels
// resampled by ImageMagick's own distortion. The track must give the moves
// back, line the plate up through `taviron render --track`, and fail on bad
// input as every command does.
#include "cli_run.h"
#include "sequence_files.h"
#include "system_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace {

constexpr const char* kStreetClip = "/usr/share/doc/opencv-doc/examples/data/vtest.avi";
// Every fourth frame of the clip, so that the passers-by move well between
// frames; cut to a part of the street they cross.
constexpr int kClipFrames = 8;
constexpr int kSourceWidth = 432;
constexpr int kSourceHeight = 324;
// The plate is the source less this margin on every side, which the walk
// uses up.
constexpr int kMargin = 24;
constexpr int kPlateWidth = kSourceWidth - 2 * kMargin;
constexpr int kPlateHeight = kSourceHeight - 2 * kMargin;

struct Move {
    double x = 0.0;
    double y = 0.0;
};

// A track file's points, in pixels of a plate.
std::map<int, Move> TrackedPixels(const std::string& path) {
    std::map<int, Move> points;
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    EXPECT_EQ(line, "frame,x,y");
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        int frame = 0;
        char comma = 0;
        Move point;
        fields >> frame >> comma >> point.x >> comma >> point.y;
        points[frame] = {point.x * kPlateWidth, point.y * kPlateHeight};
    }
    return points;
}

class TrackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        clip = std::make_unique<ScratchDirectory>();
        if (std::system(("test -r " + std::string(kStreetClip)).c_str()) != 0) return;
        std::system(("ffmpeg -v error -i " + std::string(kStreetClip) + " -vf \"select='not(mod(n,4))',crop=" +
                     std::to_string(kSourceWidth) + ":" + std::to_string(kSourceHeight) +
                     ":168:132\" -fps_mode passthrough -frames:v " + std::to_string(kClipFrames) + " " +
                     Quoted(*clip / "street.%04d.png") + " >/dev/null 2>&1")
                        .c_str());
    }
    static void TearDownTestSuite() { clip.reset(); }

    void SetUp() override {
        if (!std::ifstream(Source(kClipFrames)))
            GTEST_SKIP() << "needs ffmpeg and " << kStreetClip << " (opencv-doc)";
    }

    static std::string Source(int frame) { return FrameFile(clip->Path(), "street", frame, "png"); }
    std::string Plate(int frame) const { return FrameFile(dir.Path(), "plate", frame, "png"); }

    // The plate of each frame: the source moved by `moves[frame - 1]` (the
    // first is 0), less the margin. Whole moves are cut, fractions resampled.
    void WritePlate(const std::vector<Move>& moves) {
        for (int frame = 1; frame <= static_cast<int>(moves.size()); ++frame) {
            const Move move = moves[static_cast<size_t>(frame - 1)];
            const std::string size = std::to_string(kPlateWidth) + "x" + std::to_string(kPlateHeight);
            const bool whole = move.x == std::round(move.x) && move.y == std::round(move.y);
            if (whole)
                Make("convert " + Quoted(Source(frame)) + " -crop " + size + "+" +
                     std::to_string(kMargin - static_cast<int>(move.x)) + "+" +
                     std::to_string(kMargin - static_cast<int>(move.y)) + " +repage " + Quoted(Plate(frame)));
            else
                Make("convert " + Quoted(Source(frame)) + " -virtual-pixel edge -distort SRT '0,0 1 0 " +
                     std::to_string(move.x) + "," + std::to_string(move.y) + "' -crop " + size + "+" +
                     std::to_string(kMargin) + "+" + std::to_string(kMargin) + " +repage " + Quoted(Plate(frame)));
        }
    }

    CliResult Track(std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"track", "-i", dir / "plate.####.png", "-o", dir / "track.csv"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    }

    static std::unique_ptr<ScratchDirectory> clip;
    ScratchDirectory dir;
};

std::unique_ptr<ScratchDirectory> TrackTest::clip;

// A walk of fractions of pixels, a few pixels a frame, while people cross.
const std::vector<Move> kFractionalWalk = {{0, 0},         {1.37, -0.62}, {2.91, -2.18}, {1.45, -3.77},
                                           {-0.83, -2.04}, {-2.66, 0.29}, {-1.12, 2.71}, {0.58, 1.33}};
const std::vector<Move> kWholeWalk = {{0, 0}, {2, -1}, {5, -3}, {3, -6}, {-1, -4}, {-4, 0}, {-2, 3}, {1, 2}};

TEST_F(TrackTest, FractionalWalkIsMeasuredWithinHundredthsOfAPixel) {
    WritePlate(kFractionalWalk);
    const CliResult result = Track({"--verbose"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::map<int, Move> points = TrackedPixels(dir / "track.csv");
    ASSERT_EQ(points.size(), kFractionalWalk.size());
    double squares = 0.0;
    double worst = 0.0;
    for (int frame = 1; frame <= kClipFrames; ++frame) {
        const Move truth = kFractionalWalk[static_cast<size_t>(frame - 1)];
        // The tracked point is the centre of the whole frame in the reference.
        const double error = std::hypot(points.at(frame).x - kPlateWidth / 2.0 - truth.x,
                                        points.at(frame).y - kPlateHeight / 2.0 - truth.y);
        squares += error * error;
        worst = std::max(worst, error);
        // Every frame's match strength is told.
        EXPECT_NE(result.err.find("frame " + std::to_string(frame) + ": moved"), std::string::npos) << result.err;
    }
    EXPECT_LT(std::sqrt(squares / kClipFrames), 0.05);
    EXPECT_LT(worst, 0.2);
    EXPECT_NE(result.err.find("(match "), std::string::npos) << result.err;
}

TEST_F(TrackTest, WholePixelWalkIsExactAndFromAnyReference) {
    WritePlate(kWholeWalk);
    for (const int reference : {1, 5}) {
        const CliResult result = Track({"--reference", std::to_string(reference), "--quiet"});
        ASSERT_EQ(result.status, 0) << result.err;
        const std::map<int, Move> points = TrackedPixels(dir / "track.csv");
        ASSERT_EQ(points.size(), kWholeWalk.size());
        const Move from = kWholeWalk[static_cast<size_t>(reference - 1)];
        for (int frame = 1; frame <= kClipFrames; ++frame) {
            const Move truth = kWholeWalk[static_cast<size_t>(frame - 1)];
            // Written whole: pixel / size reads back within rounding.
            EXPECT_NEAR(points.at(frame).x, kPlateWidth / 2.0 + truth.x - from.x, 1e-9) << "frame " << frame;
            EXPECT_NEAR(points.at(frame).y, kPlateHeight / 2.0 + truth.y - from.y, 1e-9) << "frame " << frame;
        }
    }
}

TEST_F(TrackTest, ARegionFollowsItsCentre) {
    WritePlate(kWholeWalk);
    const CliResult result = Track({"--region", "100,60,160,120", "--range", "1-4", "--quiet"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::map<int, Move> points = TrackedPixels(dir / "track.csv");
    ASSERT_EQ(points.size(), 4u);
    for (int frame = 1; frame <= 4; ++frame) {
        const Move truth = kWholeWalk[static_cast<size_t>(frame - 1)];
        EXPECT_NEAR(points.at(frame).x, 180 + truth.x, 1e-9) << "frame " << frame;
        EXPECT_NEAR(points.at(frame).y, 120 + truth.y, 1e-9) << "frame " << frame;
    }
}

// A frame turned by two degrees is still written, at its best translation,
// and named; the frames that only moved are not.
TEST_F(TrackTest, TurnedFrameIsNamed) {
    WritePlate({kWholeWalk.begin(), kWholeWalk.begin() + 4});
    const std::string size = std::to_string(kPlateWidth) + "x" + std::to_string(kPlateHeight);
    Make("convert " + Quoted(Source(3)) + " -virtual-pixel edge -distort SRT 2 -crop " + size + "+" +
         std::to_string(kMargin) + "+" + std::to_string(kMargin) + " +repage " + Quoted(Plate(3)));
    const CliResult result = Track();
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("frame 3 turns or scales beyond a translation"), std::string::npos) << result.err;
    for (const char* other : {"frame 2 ", "frame 4 ", "frames 3", "frames 2", "frame 1 "})
        EXPECT_EQ(result.err.find(other), std::string::npos) << result.err;
    EXPECT_EQ(TrackedPixels(dir / "track.csv").size(), 4u);
}

// The samples of every frame of the window, read where the walk took the
// plate, are the same pixels as the plate that never moved: the median of
// three frames of the source cut where the current frame is cut.
class TrackRoundTripTest : public TrackTest {
protected:
    static constexpr int kFrames = 5;

    // Pixels of the rendered frame whose three samples lie in their plates,
    // and how many of them differ from the unmoved plate's median.
    struct Comparison {
        int compared = 0;
        int different = 0;
    };

    Comparison CompareWithUnmovedMedian(int frame) const {
        const Picture rendered = ReadPicture(FrameFile(dir.Path(), "clean", frame, "png"));
        std::vector<Picture> sources;
        for (int each = frame - 1; each <= frame + 1; ++each) sources.push_back(ReadPicture(Source(each)));
        const Move here = kWholeWalk[static_cast<size_t>(frame - 1)];
        Comparison comparison;
        for (int y = 0; y < kPlateHeight; ++y)
            for (int x = 0; x < kPlateWidth; ++x) {
                bool inside = true;
                for (int each = frame - 1; each <= frame + 1; ++each) {
                    const Move there = kWholeWalk[static_cast<size_t>(each - 1)];
                    const double px = x + there.x - here.x;
                    const double py = y + there.y - here.y;
                    inside = inside && px >= 0 && py >= 0 && px < kPlateWidth && py < kPlateHeight;
                }
                if (!inside) continue;
                ++comparison.compared;
                const int sx = x + kMargin - static_cast<int>(here.x);
                const int sy = y + kMargin - static_cast<int>(here.y);
                for (int channel = 0; channel < 3; ++channel) {
                    float samples[3];
                    for (int i = 0; i < 3; ++i) samples[i] = sources[static_cast<size_t>(i)].At(sx, sy, channel);
                    std::sort(samples, samples + 3);
                    if (rendered.At(x, y, channel) != samples[1]) {
                        ++comparison.different;
                        break;
                    }
                }
            }
        return comparison;
    }

    CliResult Render(const std::string& convention) {
        return RunTaviron({"render", "-q", "-i", dir / "plate.####.png", "-o", dir / "clean.####.png", "--frames",
                           "1", "--direction", "both", "--method", "median", "--track", dir / "track.csv",
                           "--track-convention", convention});
    }
};

TEST_F(TrackRoundTripTest, TrackedRenderLinesUpThePlateAndTheOffsetConventionDoesNot) {
    WritePlate({kWholeWalk.begin(), kWholeWalk.begin() + kFrames});
    ASSERT_EQ(Track({"--quiet"}).status, 0);
    const CliResult feature = Render("feature");
    ASSERT_EQ(feature.status, 0) << feature.err;
    for (int frame = 2; frame < kFrames; ++frame) {
        const Comparison comparison = CompareWithUnmovedMedian(frame);
        EXPECT_GT(comparison.compared, kPlateWidth * kPlateHeight / 2) << "frame " << frame;
        EXPECT_EQ(comparison.different, 0) << "frame " << frame;
    }
    const CliResult offset = Render("offset");
    ASSERT_EQ(offset.status, 0) << offset.err;
    for (int frame = 2; frame < kFrames; ++frame) {
        const Comparison comparison = CompareWithUnmovedMedian(frame);
        EXPECT_GT(comparison.different, comparison.compared / 4) << "frame " << frame;
    }
}

// Bad input: the status says whose fault it is (1 usage, 2 input, 3 output),
// the message names what is at fault, and no track file or temporary is left
// where none could be written whole.
class TrackErrorTest : public TrackTest {
protected:
    void SetUp() override {
        TrackTest::SetUp();
        if (IsSkipped()) return;
        WritePlate({kWholeWalk.begin(), kWholeWalk.begin() + 3});
    }

    void ExpectFailure(const CliResult& result, int status, const std::string& named) {
        EXPECT_EQ(result.status, status) << result.err;
        EXPECT_NE(result.err.find(named), std::string::npos) << "should name " << named << ": " << result.err;
    }

    void ExpectOnlyThePlate() {
        EXPECT_EQ(dir.Files(), (std::vector<std::string>{"plate.0001.png", "plate.0002.png", "plate.0003.png"}));
    }
};

TEST_F(TrackErrorTest, UsageFaultsAreRefusedBeforeAnythingIsWritten) {
    ExpectFailure(Track({"--region", "10,10,200"}), 1, "X,Y,WIDTH,HEIGHT");
    ExpectFailure(Track({"--region", "10,-1,20,20"}), 1, "10,-1,20,20");
    ExpectFailure(Track({"--region", "10,10,0,20"}), 1, "has no pixels");
    ExpectFailure(Track({"--region", "300,200,100,100"}), 1, "reaches beyond the 384x276");
    ExpectFailure(Track({"--reference", "7"}), 1, "--reference 7");
    ExpectFailure(Track({"--range", "3-1"}), 1, "3-1");
    ExpectFailure(RunTaviron({"track", "-i", dir / "plate.####.png", "-o", dir.Path()}), 1, "is a folder");
    ExpectFailure(RunTaviron({"track", "-i", dir / "plate.####.png", "-o", Plate(2)}), 1, "plate.0002.png");
    ExpectOnlyThePlate();
}

TEST_F(TrackErrorTest, InputFaultsNameTheFile) {
    ExpectFailure(RunTaviron({"track", "-i", dir / "none.####.png", "-o", dir / "track.csv"}), 2, "none.####.png");
    ExpectFailure(Track({"--range", "0-3"}), 2, "plate.0000.png");
    // A plate with nothing to follow.
    WritePicture(dir / "flat.0001.png", Picture{40, 30, {"R", "G", "B"}, std::vector<float>(40 * 30 * 3, 0.5f)},
                 OIIO::TypeDesc::UINT8);
    ExpectFailure(RunTaviron({"track", "-i", dir / "flat.####.png", "-o", dir / "track.csv"}), 2, "too little detail");
    std::filesystem::remove(dir / "flat.0001.png");
    ExpectOnlyThePlate();
}

// A broken frame or one of another scene is named and left out; the frames
// that were measured are written, whole.
TEST_F(TrackErrorTest, FramesThatCannotBeTrackedAreNamedAndLeftOut) {
    std::ofstream(Plate(2), std::ios::trunc) << "not a picture";
    const CliResult broken = Track();
    ExpectFailure(broken, 2, "plate.0002.png");
    EXPECT_NE(broken.err.find("frames not tracked: 2"), std::string::npos) << broken.err;
    EXPECT_EQ(TrackedPixels(dir / "track.csv").size(), 2u);

    WritePicture(Plate(2), RandomPicture(kPlateWidth, kPlateHeight, {"R", "G", "B"}, 5u, 255), OIIO::TypeDesc::UINT8);
    const CliResult unmatched = Track();
    ExpectFailure(unmatched, 2, "plate.0002.png does not match the plate");
    EXPECT_EQ(dir.Files(), (std::vector<std::string>{"plate.0001.png", "plate.0002.png", "plate.0003.png", "track.csv"}));
}

TEST_F(TrackErrorTest, OutputThatCannotBeMadeLeavesNothing) {
    ExpectFailure(RunTaviron({"track", "-i", dir / "plate.####.png", "-o", Plate(1) + "/track.csv"}), 3,
                  "plate.0001.png");
    ExpectOnlyThePlate();
}

}  // namespace
