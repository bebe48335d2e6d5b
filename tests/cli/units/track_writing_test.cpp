// From measured moves to the track file `taviron track` writes: whole-pixel
// plates written whole, fractions kept, numbers that read back exactly, and a
// file that appears only whole.
#include "errors.h"
#include "hosting/track_file.h"
#include "io/writing/text_file_writer.h"
#include "tracking/feature_track.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace taviron::cli {
namespace {

const cv::Size kFrame(640, 480);
const cv::Point2d kCentre(320, 240);

TEST(FeatureTrack, MovesNearWholePixelsEverywhereAreWrittenWhole) {
    // Lucas-Kanade gives a whole-pixel move a few hundredths off; the render
    // truncates, so 2.97 would sample a pixel short.
    const TrackData track = FeatureTrack({{1, {0, 0}}, {2, {2.97, -1.04}}, {3, {-4.06, 0.02}}}, kCentre, kFrame);
    EXPECT_EQ(track.at(2).x * kFrame.width, 323.0);
    EXPECT_EQ(track.at(2).y * kFrame.height, 239.0);
    EXPECT_EQ(track.at(3).x * kFrame.width, 316.0);
    EXPECT_EQ(track.at(3).y * kFrame.height, 240.0);
}

TEST(FeatureTrack, OneFractionalMoveKeepsEveryMoveAsMeasured) {
    const TrackData track = FeatureTrack({{1, {0, 0}}, {2, {2.97, -1.04}}, {3, {-4.06, 0.5}}}, kCentre, kFrame);
    EXPECT_NEAR(track.at(2).x * kFrame.width, 322.97, 1e-9);
    EXPECT_NEAR(track.at(3).y * kFrame.height, 240.5, 1e-9);
    EXPECT_FALSE(MovesByWholePixels({{1, {0, 0}}, {2, {0.0, 3.2}}}));
    EXPECT_TRUE(MovesByWholePixels({{1, {0, 0}}, {2, {-0.09, 2.91}}}));
}

class TrackWritingTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    size_t FilesInFolder() const { return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {})); }

    const fs::path folder = fs::temp_directory_path() / ("taviron-track-writing-" + std::to_string(getpid()));
};

TEST_F(TrackWritingTest, TrackReadsBackExactly) {
    const TrackData written = {{-3, {0.1 + 0.2, 1.0 / 3.0}}, {7, {397.0 / 400.0, 1e-17}}, {1001, {-0.25, 2.5}}};
    const std::string path = (folder / "track.csv").string();
    WriteTextFile(path, TrackFileText(written));
    const TrackData read = ReadTrackFile(path);
    ASSERT_EQ(read.size(), written.size());
    for (const auto& [frame, point] : written) {
        EXPECT_EQ(read.at(frame).x, point.x) << "frame " << frame;
        EXPECT_EQ(read.at(frame).y, point.y) << "frame " << frame;
    }
    EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(TrackWritingTest, FailedWriteLeavesTheOldFileAndNoTemporary) {
    const std::string path = (folder / "track.csv").string();
    WriteTextFile(path, "frame,x,y\n1,0.5,0.5\n");
    // A folder in the file's place cannot be replaced by a rename.
    const std::string blocked = (folder / "blocked").string();
    fs::create_directories(fs::path(blocked) / "inside");
    EXPECT_THROW(WriteTextFile(blocked, "frame,x,y\n"), CliError);
    EXPECT_TRUE(fs::is_directory(fs::path(blocked) / "inside"));
    std::ifstream kept(path);
    std::stringstream text;
    text << kept.rdbuf();
    EXPECT_EQ(text.str(), "frame,x,y\n1,0.5,0.5\n");
    EXPECT_EQ(FilesInFolder(), 2u);
}

}  // namespace
}  // namespace taviron::cli
