// Sequence patterns: the frame field wherever it stands, and which files on
// disk are frames of a pattern.
#include "errors.h"
#include "io/frame_pattern.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace taviron::cli {
namespace {

class FramePatternOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("taviron-frame-pattern-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void Touch(const std::string& name) { std::ofstream(dir / name) << "x"; }
    std::string In(const std::string& pattern) const { return (dir / pattern).string(); }

    fs::path dir;
};

TEST(FramePattern, FieldAtTheVeryStartKeepsEveryDigit) {
    EXPECT_EQ(FramePattern("####.exr").PathOf(7), "0007.exr");
    EXPECT_EQ(FramePattern("%04d.exr").PathOf(7), "0007.exr");
    EXPECT_EQ(FramePattern("#").PathOf(3), "3");
    EXPECT_EQ(FramePattern("shot/##.png").PathOf(5), "shot/05.png");
    EXPECT_EQ(FramePattern("plate.####.exr").PathOf(-12), "plate.-012.exr");
}

TEST(FramePattern, PrintfFieldsPadUpToSixteenDigits) {
    EXPECT_EQ(FramePattern("plate.%010d.exr").PathOf(7), "plate.0000000007.exr");
    EXPECT_EQ(FramePattern("plate.%16d.exr").PathOf(7), "plate.0000000000000007.exr");
    EXPECT_THROW(FramePattern("plate.%017d.exr"), CliError);
    EXPECT_THROW(FramePattern("plate.%0100d.exr"), CliError);
}

TEST_F(FramePatternOnDisk, OnlyFilesPaddedAsThePatternAreFrames) {
    for (const char* name : {"plate.0001.exr", "plate.1.exr", "plate.00002.exr", "plate.0003.exr", "plate.12345.exr",
                             "plate.003.exr", "plate.0004.exr.tmp", "plate.abcd.exr"}) {
        Touch(name);
    }
    EXPECT_EQ(FramePattern(In("plate.####.exr")).FramesOnDisk(), (std::vector<int>{1, 3, 12345}));
    EXPECT_EQ(FramePattern(In("plate.%04d.exr")).FramesOnDisk(), (std::vector<int>{1, 3, 12345}));
    EXPECT_EQ(FramePattern(In("plate.#.exr")).FramesOnDisk(), (std::vector<int>{1, 12345}));
}

TEST_F(FramePatternOnDisk, FieldAtTheStartOfTheNameFindsItsFrames) {
    for (const char* name : {"0010.exr", "0011.exr", "011.exr", "x0012.exr"}) {
        Touch(name);
    }
    EXPECT_EQ(FramePattern(In("####.exr")).FramesOnDisk(), (std::vector<int>{10, 11}));
}

}  // namespace
}  // namespace taviron::cli
