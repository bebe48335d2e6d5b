// Output files that reach the disk whole or are reported: the failures only a
// close reports (network file systems, quotas), and the sync of a frame's data
// before it takes its final name and of the folder after.
#include "io/writing/checked_output_file.h"
#include "io/writing/durable_rename.h"
#include "system_call_faults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace taviron::cli {
namespace {

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("taviron-output-file-" + std::to_string(getpid()));
        fs::create_directories(dir);
        dir = fs::canonical(dir);
        TakeFileCalls();
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    fs::path dir;
};

TEST_F(OutputFile, FailureReportedOnlyByCloseIsKept) {
    const std::string path = (dir / "frame.exr").string();
    CheckedOutputFile file(path);
    EXPECT_EQ(file.write("pixels", 6), 6u);
    FailNextClose(EIO);
    EXPECT_EQ(file.Finish(), std::strerror(EIO));
}

TEST_F(OutputFile, EveryByteWrittenFinishesWithoutReason) {
    CheckedOutputFile file((dir / "frame.exr").string());
    EXPECT_EQ(file.write("pixels", 6), 6u);
    EXPECT_EQ(file.Finish(), "");
    EXPECT_EQ(fs::file_size(dir / "frame.exr"), 6u);
}

TEST_F(OutputFile, DataIsSyncedBeforeTheRenameAndTheFolderAfter) {
    const std::string from = Write(".frame.exr.tmp", "pixels");
    const std::string to = (dir / "frame.exr").string();
    ASSERT_EQ(RenameDurably(from, to), "");
    const std::vector<std::string> expected = {"fsync " + from, "rename " + from + " " + to,
                                               "fsync " + dir.string()};
    EXPECT_EQ(TakeFileCalls(), expected);
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(fs::file_size(to), 6u);
}

TEST_F(OutputFile, DataThatCannotBeSyncedKeepsItsTemporaryName) {
    const std::string from = Write(".frame.exr.tmp", "pixels");
    const std::string to = (dir / "frame.exr").string();
    FailNextFsync(EIO);
    EXPECT_EQ(RenameDurably(from, to), std::strerror(EIO));
    EXPECT_TRUE(fs::exists(from));
    EXPECT_FALSE(fs::exists(to));
}

TEST_F(OutputFile, FailedRenameIsReported) {
    const std::string from = Write(".frame.exr.tmp", "pixels");
    EXPECT_EQ(RenameDurably(from, (dir / "missing" / "frame.exr").string()), std::strerror(ENOENT));
    EXPECT_TRUE(fs::exists(from));
}

}  // namespace
}  // namespace taviron::cli
