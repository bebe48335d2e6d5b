// A clean plate from real footage: frames of a street camera's clip, cut
// once where the camera stood still and once panned by whole pixels from
// frame to frame, the pan tracked as a tracker writes it (where a point of
// the scene is, as pixel / size, at sides that are not powers of two). The
// tracked median of the panned cut is the still cut's median wherever the
// scene is inside every frame of the window. The clip is decoded by ffmpeg,
// cut and compared by OpenImageIO's own tool, not by this program's code.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr int kReach = 2;  // --frames
// Top-left corners in the clip's 768x576 frames: the still camera's, and
// the panned camera's at frames 1 to 5, moving both ways in x and y.
const std::pair<int, int> kStill = {184, 138};
const std::vector<std::pair<int, int>> kPanned = {{184, 138}, {187, 135}, {179, 142}, {192, 131}, {175, 146}};
const std::pair<int, int> kFeature = {420, 300};  // a point of the scene, in the clip's frames

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A system tool's status; its output is kept out of the test's.
int RunTool(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Region(int width, int height, int left, int top) {
    return std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(left) + "+" +
           std::to_string(top);
}

class RealClipTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::is_regular_file(TAVIRON_STREET_CLIP))
            << "the street clip (Debian's opencv-doc, see scripts/install-packages.sh) is missing: "
            << TAVIRON_STREET_CLIP;
        // Every tenth frame, so that the people walking have moved on.
        ASSERT_EQ(RunTool("ffmpeg -v error -i " + Quoted(TAVIRON_STREET_CLIP) +
                      " -vf 'select=not(mod(n\\,10))' -fps_mode passthrough -frames:v 5 -start_number 1 " +
                      Quoted(dir / "clip.%04d.png")),
                  0);
        std::ofstream track(dir / "track.csv");
        track << std::setprecision(17) << "frame,x,y\n";
        for (int frame = 1; frame <= Frames(); ++frame) {
            const auto [left, top] = Panned(frame);
            track << frame << ',' << static_cast<double>(kFeature.first - left) / kWidth << ','
                  << static_cast<double>(kFeature.second - top) / kHeight << '\n';
            const std::string clip = Quoted(File("clip", frame));
            ASSERT_EQ(RunTool("oiiotool " + clip + " --cut " + Region(kWidth, kHeight, kStill.first, kStill.second) +
                          " -o " + Quoted(File("still", frame))),
                      0);
            ASSERT_EQ(RunTool("oiiotool " + clip + " --cut " + Region(kWidth, kHeight, left, top) + " -o " +
                          Quoted(File("panned", frame))),
                      0);
        }
    }

    static int Frames() { return static_cast<int>(kPanned.size()); }
    static std::pair<int, int> Panned(int frame) { return kPanned[static_cast<size_t>(frame - 1)]; }
    std::string File(const std::string& name, int frame) const { return FrameFile(dir.Path(), name, frame, "png"); }

    int Median(const std::string& input, const std::string& output, std::vector<std::string> more = {}) const {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / (input + ".####.png"), "-o",
                                              dir / (output + ".####.png"), "--frames", std::to_string(kReach),
                                              "--method", "median"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments).status;
    }

    // oiiotool's verdict on `panned` against `still` at `frame`, over the
    // part of the scene inside the still cut and inside every panned frame
    // of the window.
    int DiffInsideTheOverlap(const std::string& panned, const std::string& still, int frame) const {
        int left = kStill.first;
        int top = kStill.second;
        int right = left + kWidth;
        int bottom = top + kHeight;
        for (int other = std::max(1, frame - kReach); other <= std::min(Frames(), frame + kReach); ++other) {
            const auto [otherLeft, otherTop] = Panned(other);
            left = std::max(left, otherLeft);
            top = std::max(top, otherTop);
            right = std::min(right, otherLeft + kWidth);
            bottom = std::min(bottom, otherTop + kHeight);
        }
        EXPECT_GT((right - left) * (bottom - top), kWidth * kHeight * 8 / 10) << frame;
        const auto [frameLeft, frameTop] = Panned(frame);
        return RunTool("oiiotool " + Quoted(File(panned, frame)) + " --cut " +
                   Region(right - left, bottom - top, left - frameLeft, top - frameTop) + " " +
                   Quoted(File(still, frame)) + " --cut " +
                   Region(right - left, bottom - top, left - kStill.first, top - kStill.second) + " --diff");
    }

    ScratchDirectory dir;
};

TEST_F(RealClipTest, TrackedMedianOfAPannedClipIsTheStillCameraPlate) {
    ASSERT_EQ(Median("still", "still-plate"), 0);
    ASSERT_EQ(Median("panned", "tracked-plate", {"--track", dir / "track.csv"}), 0);
    for (int frame = 1; frame <= Frames(); ++frame)
        EXPECT_EQ(DiffInsideTheOverlap("tracked-plate", "still-plate", frame), 0) << "frame " << frame;

    // Unregistered, the pan spoils the plate: the comparison can see it.
    ASSERT_EQ(Median("panned", "untracked-plate"), 0);
    EXPECT_NE(DiffInsideTheOverlap("untracked-plate", "still-plate", 3), 0);
}

}  // namespace
