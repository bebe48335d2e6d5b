// Output folders: checked before a render starts, made for the first frame
// written into them, and removed again when nothing was written there.
#include "errors.h"
#include "io/writing/output_folders.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace taviron::cli {
namespace {

class OutputFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("taviron-output-folders-" + std::to_string(getpid()));
        fs::create_directories(root);
        std::ofstream(root / "file") << "not a folder";
    }
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(root);
    }

    fs::path root;
};

TEST_F(OutputFoldersTest, FoldersThatCanBeMadePassTheCheckAndOthersAreNamed) {
    fs::current_path(root);
    // Relative names: the current folder, and folders to make in it.
    EXPECT_NO_THROW(OutputFolders::CheckCanMake("out.0001.png"));
    EXPECT_NO_THROW(OutputFolders::CheckCanMake("new/deeper/out.0001.png"));
    EXPECT_NO_THROW(OutputFolders::CheckCanMake((root / "new/out.0001.png").string()));
    for (const fs::path& path : {fs::path("file/out.0001.png"), root / "file/deeper/out.0001.png"}) {
        try {
            OutputFolders::CheckCanMake(path.string());
            ADD_FAILURE() << path << " passed";
        } catch (const CliError& error) {
            EXPECT_EQ(error.Status(), ExitStatus::Output);
            EXPECT_NE(std::string(error.what()).find("file is not a folder"), std::string::npos) << error.what();
        }
    }
    EXPECT_FALSE(fs::exists(root / "new")) << "a check makes nothing";
}

TEST_F(OutputFoldersTest, FoldersMadeAndLeftEmptyAreRemovedAndOthersStay) {
    {
        OutputFolders folders;
        folders.MakeFor((root / "kept/a/out.0001.png").string());
        folders.MakeFor((root / "kept/b/out.0002.png").string());
        folders.MakeFor((root / "out.0003.png").string());  // there already
        ASSERT_TRUE(fs::is_directory(root / "kept/a"));
        std::ofstream(root / "kept/a/out.0001.png") << "a frame";
    }
    EXPECT_TRUE(fs::exists(root / "kept/a/out.0001.png"));
    EXPECT_FALSE(fs::exists(root / "kept/b"));
    EXPECT_TRUE(fs::exists(root / "file")) << "what was there stays";
    {
        OutputFolders folders;
        folders.MakeFor((root / "empty/deeper/out.0001.png").string());
    }
    EXPECT_FALSE(fs::exists(root / "empty"));
}

}  // namespace
}  // namespace taviron::cli
