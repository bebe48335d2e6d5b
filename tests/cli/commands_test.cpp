// `taviron info`, `about`, `demo`, `--help` and `--version`.
#include "cli_run.h"
#include "support/plugin_fixture.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class CommandsTest : public TavironPlugin {
protected:
    ScratchDirectory dir;
};

TEST_F(CommandsTest, InfoReportsEveryLinkTheHostHolds) {
    const CliResult json = RunTaviron({"info", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const Operator* tool = CreateTool();
    for (const Input* input : tool->Inputs())
        EXPECT_NE(json.out.find("\"id\": \"" + std::string(input->ID().Text()) + "\""), std::string::npos)
            << input->ID().Text();
    for (const char* text : {"\"id\": \"Orlemby.Taviron\"", "\"category\": \"Filter\"", "\"Foreward\"", "\"Random\"",
                             "\"max\": 250", "\"dataType\": \"Point\"", "\"buildStamp\": \"Built:"})
        EXPECT_NE(json.out.find(text), std::string::npos) << text << " in\n" << json.out;

    const CliResult text = RunTaviron({"info"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Sample Direction (ID \"SampleDirection\")"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(Record()->HelpText()), std::string::npos) << text.out;
}

// Each option of `render --help`: its first line, "  -x,--name KIND=DEFAULT".
std::vector<std::string> OptionLines(const std::string& help) {
    std::vector<std::string> lines;
    std::istringstream stream(help);
    for (std::string line; std::getline(stream, line);)
        if (line.rfind("  -", 0) == 0) lines.push_back(line);
    return lines;
}

TEST_F(CommandsTest, RenderHelpShowsEveryOptionsKindAndDefault) {
    const CliResult help = RunTaviron({"render", "--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    const std::vector<std::string> lines = OptionLines(help.out);
    ASSERT_GE(lines.size(), 15u) << help.out;
    for (const std::string& line : lines) {
        const bool needsNoDefault = std::regex_search(line, std::regex("--help|--quiet|--dry-run|--skip-existing|REQUIRED"));
        if (!needsNoDefault) {
            EXPECT_NE(line.find('='), std::string::npos) << "no default shown: " << line;
        }
    }
    for (const char* kind : {"--frames INT", "--threshold FLOAT", "--direction TEXT:{backward,both,forward}=both",
                             "--method TEXT:{median,average,max,min,random}=median", "--threads INT",
                             "--depth TEXT:{8,16,half,float}", "--cache-mb FLOAT", "--track-convention",
                             "--set ID=VALUE"})
        EXPECT_NE(help.out.find(kind), std::string::npos) << kind << " in\n" << help.out;
}

TEST_F(CommandsTest, TrackHelpShowsEveryOptionsDefault) {
    const CliResult help = RunTaviron({"track", "--help"});
    ASSERT_EQ(help.status, 0) << help.err;
    const std::vector<std::string> lines = OptionLines(help.out);
    ASSERT_GE(lines.size(), 7u) << help.out;
    for (const std::string& line : lines) {
        if (!std::regex_search(line, std::regex("--help|--quiet|--verbose|REQUIRED"))) {
            EXPECT_NE(line.find('='), std::string::npos) << "no default shown: " << line;
        }
    }
    for (const char* option : {"--range FIRST-LAST=every input frame on disk",
                               "--reference FRAME=the first frame of the range", "--region X,Y,WIDTH,HEIGHT=the whole frame"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option << " in\n" << help.out;
}

TEST_F(CommandsTest, VersionIsTheProjectsOwn) {
    const CliResult version = RunTaviron({"--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, "taviron " TAVIRON_VERSION "\n");
    const CliResult json = RunTaviron({"info", "--json"});
    EXPECT_NE(json.out.find("\"version\": \"" TAVIRON_VERSION "\""), std::string::npos) << json.out;
}

TEST_F(CommandsTest, InfoWritesTheToolsPictureAsPng) {
    const CliResult result = RunTaviron({"info", "--picture", dir / "picture.png"});
    ASSERT_EQ(result.status, 0) << result.err;
    const Picture picture = ReadPicture(dir / "picture.png");
    EXPECT_EQ(picture.width, 160);
    EXPECT_EQ(picture.height, 120);
    ASSERT_EQ(picture.channels.size(), 4u);
    EXPECT_EQ(picture.At(0, 0, 3), 1.0f);                        // opaque
    EXPECT_EQ(picture.At(0, 0, 0) + picture.At(0, 0, 1), 0.0f);  // on black
}

// A picture that cannot be written is told on its own, naming the folder at
// fault, not the hidden file it would have been written under first.
TEST_F(CommandsTest, InfoNamesThePicturesFolderWhenItCannotBeWritten) {
    std::ofstream(dir / "file") << "not a folder";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dir / "missing/picture.bmp", dir / "missing does not exist"},
        {dir / "file/picture.png", dir / "file is not a folder"}};
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const CliResult result = RunTaviron({"info", "--picture", path});
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.out, "") << "no listing before the failure";
        EXPECT_EQ(result.err, "taviron: cannot write the picture " + path + ": its folder " + reason + "\n");
    }
}

TEST_F(CommandsTest, AboutShowsTheToolsAboutBox) {
    const CliResult result = RunTaviron({"about"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind("About this filter\n\nTaviron 1.003 by ", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("applies an algorithm on each pixel."), std::string::npos);
}

TEST_F(CommandsTest, DemoCleansItsClipAndWritesBeforeAndAfter) {
    std::filesystem::create_directory(dir / "demo");
    std::ofstream(dir / "demo/plan.txt") << "plan";  // no obstacle
    const CliResult result = RunTaviron({"demo", dir / "demo"});
    ASSERT_EQ(result.status, 0) << result.err;
    double before = 0.0;
    double after = 0.0;
    const size_t line = result.out.find("before ");
    ASSERT_NE(line, std::string::npos) << result.out;
    ASSERT_EQ(std::sscanf(result.out.c_str() + line, "before %lf dB, after %lf dB", &before, &after), 2) << result.out;
    EXPECT_GT(after, before + 6.0);
    EXPECT_TRUE(std::filesystem::exists(dir / "demo/comparison.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "demo/input.0009.png"));
    EXPECT_TRUE(std::filesystem::exists(dir / "demo/output.0009.png"));
    EXPECT_EQ(ReadText(dir / "demo/plan.txt"), "plan");
}

// The demo writes into a folder a user may have typed by mistake (".", a
// shot folder): one that holds any file it would write is refused, whole.
TEST_F(CommandsTest, DemoRefusesAFolderHoldingFilesItWouldWrite) {
    std::filesystem::create_directory(dir / "shot");
    std::ofstream(dir / "shot/input.0003.png") << "a frame";
    std::ofstream(dir / "shot/comparison.png") << "notes";
    std::filesystem::create_directory(dir / "shot/output.0009.png");
    const CliResult result = RunTaviron({"demo", dir / "shot"});
    EXPECT_EQ(result.status, 1) << result.err;
    for (const char* name : {"input.0003.png", "comparison.png", "output.0009.png"})
        EXPECT_NE(result.err.find(name), std::string::npos) << result.err;
    EXPECT_TRUE(ReadText(dir / "shot/input.0003.png") == "a frame");
    EXPECT_TRUE(ReadText(dir / "shot/comparison.png") == "notes");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "shot"), {}), 3);
}

}  // namespace
