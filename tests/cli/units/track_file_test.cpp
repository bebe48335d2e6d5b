// Track files as other programs write them: line ends of either kind, and
// coordinates that are no numbers refused.
#include "errors.h"
#include "hosting/track_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace taviron::cli {
namespace {

std::string TrackFileHolding(const std::string& text) {
    const fs::path path = fs::temp_directory_path() / ("taviron-track-" + std::to_string(getpid()) + ".csv");
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TEST(TrackFile, WindowsLineEndsReadAsAnyOther) {
    const std::string path = TrackFileHolding("frame,x,y\r\n1,0.5,0.25\r\n2,0.75,1\r\n");
    const TrackData track = ReadTrackFile(path);
    fs::remove(path);
    ASSERT_EQ(track.size(), 2u);
    EXPECT_EQ(track.at(1).x, 0.5);
    EXPECT_EQ(track.at(2).y, 1.0);
}

TEST(TrackFile, CoordinatesThatAreNoNumbersAreRefused) {
    for (const char* line : {"1,0.5,0.5\n2,nan,0.5\n", "1,0.5,0.5\n2,0.5,inf\n"}) {
        const std::string path = TrackFileHolding(line);
        EXPECT_THROW(ReadTrackFile(path), CliError) << line;
        fs::remove(path);
    }
}

}  // namespace
}  // namespace taviron::cli
