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

// Spreadsheets save UTF-8 with a byte-order mark before the first line.
TEST(TrackFile, ByteOrderMarkBeforeTheFirstLineIsNoPartOfIt) {
    for (const char* text : {"\xEF\xBB\xBF" "1,0.5,0.25\n2,0.75,1\n", "\xEF\xBB\xBF" "frame,x,y\n1,0.5,0.25\n2,0.75,1\n"}) {
        const std::string path = TrackFileHolding(text);
        const TrackData track = ReadTrackFile(path);
        fs::remove(path);
        EXPECT_EQ(track.size(), 2u) << text;
    }
}

std::string ErrorReading(const std::string& path) {
    try {
        ReadTrackFile(path);
    } catch (const CliError& error) {
        EXPECT_EQ(error.Status(), ExitStatus::Input);
        return error.what();
    }
    return "";
}

TEST(TrackFile, UnreadableFilesSayWhy) {
    const fs::path folder = fs::temp_directory_path() / ("taviron-track-folder-" + std::to_string(getpid()));
    fs::create_directory(folder);
    EXPECT_EQ(ErrorReading(folder.string()), "cannot read track file " + folder.string() + ": it is a directory");
    EXPECT_EQ(ErrorReading((folder / "none.csv").string()),
              "cannot read track file " + (folder / "none.csv").string() + ": No such file or directory");
    const std::string locked = (folder / "locked.csv").string();
    std::ofstream(locked) << "1,0.5,0.5\n";
    fs::permissions(locked, fs::perms::none);
    if (geteuid() != 0) {  // the superuser reads it all the same
        EXPECT_EQ(ErrorReading(locked), "cannot read track file " + locked + ": Permission denied");
    }
    fs::remove_all(folder);
}

// Lines that are no points, joined files: what is wrong, and where.
TEST(TrackFile, FilesWithoutPointsAndStrayMarksAreRefusedSayingSo) {
    const std::pair<const char*, const char*> files[] = {
        {"", "holds no point"},
        {"frame,x,y\r\n", "holds no point, only the line \"frame,x,y\" taken for column names"},
        {"1,0.5,0.5\n\xEF\xBB\xBF" "2,0.5,0.5\n", ":2: a byte-order mark (bytes EF BB BF) begins the line \"\\xEF\\xBB\\xBF2,0.5"},
    };
    for (const auto& [text, said] : files) {
        const std::string path = TrackFileHolding(text);
        EXPECT_NE(ErrorReading(path).find(said), std::string::npos) << ErrorReading(path);
        fs::remove(path);
    }
}

}  // namespace
}  // namespace taviron::cli
