// Every way a render can fail: the exit status says whose fault it is, the
// message names the file, frame or value at fault, and no file is left under
// an output name.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class RenderErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int frame = 1; frame <= 3; ++frame)
            WritePicture(FrameFile(dir.Path(), "plate", frame, "png"),
                         RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
        inputs = dir.Files();
    }

    // Runs `render -i plate.####.png -o out.####.png` with more arguments.
    CliResult Render(std::vector<std::string> more) {
        std::vector<std::string> arguments = {"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        if (std::find(more.begin(), more.end(), "--frames") == more.end()) {
            arguments.insert(arguments.end(), {"--frames", "0"});  // a copy, asked for
        }
        return RunTaviron(arguments);
    }

    // The status and one line naming `named`, besides the closing list of
    // frames not written and the summary.
    void ExpectFailure(const CliResult& result, int status, const std::string& named) {
        EXPECT_EQ(result.status, status) << result.err;
        EXPECT_NE(result.err.find(named), std::string::npos) << "the message should name " << named << ": " << result.err;
        std::istringstream lines(result.err);
        int problems = 0;
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("taviron: frames not written:", 0) != 0 && line.rfind("taviron: rendered ", 0) != 0) ++problems;
        EXPECT_EQ(problems, 1) << "one line: " << result.err;
    }

    void ExpectNoOutput(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> expected = inputs;
        expected.insert(expected.end(), extra.begin(), extra.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(dir.Files(), expected);
    }

    ScratchDirectory dir;
    std::vector<std::string> inputs;
};

TEST_F(RenderErrorTest, BadValuesAreUsageErrorsNamingTheValue) {
    ExpectFailure(Render({"--set", "Bogus=1"}), 1, "Bogus");
    ExpectFailure(Render({"--set", "Frames=lots"}), 1, "lots");
    ExpectFailure(Render({"--method", "mean"}), 1, "mean");
    ExpectFailure(Render({"--direction", "sideways"}), 1, "sideways");
    ExpectFailure(Render({"--frames", "300"}), 1, "--frames");
    ExpectFailure(Render({"--channels", "rgbz"}), 1, "rgbz");
    ExpectFailure(Render({"--range", "9-2"}), 1, "9-2");
    ExpectFailure(Render({"--range", "1-400000000"}), 1, "1-400000000");
    ExpectFailure(RunTaviron({"render", "-i", dir / "plate.%040d.png", "-o", dir / "out.####.png"}), 1, "%040d");
    ExpectFailure(RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "out.%99999999999d.png"}), 1,
                  "%99999999999d");
    ExpectFailure(Render({"--depth", "12"}), 1, "12");
    ExpectFailure(Render({"--threshold", "nan"}), 1, "nan");
    ExpectFailure(Render({"--threads", "0"}), 1, "--threads");
    ExpectFailure(Render({"--cache-mb", "-5"}), 1, "--cache-mb");
    ExpectFailure(Render({"--track-convention", "mirror"}), 1, "mirror");
    EXPECT_EQ(RunTaviron({"render", "-i", dir / "plate.####.png"}).status, 1);  // no output
    EXPECT_EQ(RunTaviron({"frobnicate"}).status, 1);
    ExpectNoOutput();
}

// Each refusal says what is wrong and what to write instead, in a line a
// person reads whole.
TEST_F(RenderErrorTest, RefusalsSayWhatToWriteInstead) {
    for (const char* size : {"-1", "inf", "", "1,5", "0x10", " 2"}) {
        SCOPED_TRACE(size);
        const CliResult result = Render({"--cache-mb", size});
        ExpectFailure(result, 1, "takes a size in megabytes, 0 or more, such as 512 or 1.5");
        EXPECT_LT(result.err.size(), 300u) << result.err;
    }
    ExpectFailure(Render({"--range", "1000000000-1000000001"}), 1,
                  "frame 1000000000 is out of range; frame numbers go from -999999999 to 999999999");
    // One grammar for every number: what is refused in one place is refused in all.
    for (const char* number : {"0x10", " 3", "3 ", "3,5", "inf", "+", "1e", ""}) {
        SCOPED_TRACE(number);
        ExpectFailure(Render({"--set", std::string("Frames=") + number}), 1, "takes a decimal number");
        ExpectFailure(Render({"--threshold", number}), 1, "takes a decimal number");
        ExpectFailure(Render({"--frames", number}), 1, "takes a whole number");
    }
    ExpectFailure(Render({"--channels", ""}), 1, "--channels takes the letters of the channels to filter");
    ExpectFailure(Render({"--channels", "a", "--frames", "1"}), 1,
                  "--channels a: " + dir / "plate.0001.png" + " has none of these channels");
    ExpectNoOutput();
    // The frames are there, numbered with another padding than the pattern's.
    ExpectFailure(RunTaviron({"render", "-i", dir / "plate.%d.png", "-o", dir / "out.####.png", "--frames", "1"}), 2,
                  "no frames of " + dir / "plate.%d.png" + " found on disk; " + dir / "plate.0001.png" +
                      " is there, its number padded to 4 digits: mark the frame number with #### or %04d");
    ExpectNoOutput();
    for (const char* number : {"3", "+3", "3.", ".5e1", "3e0"}) {
        SCOPED_TRACE(number);
        EXPECT_EQ(Render({"--set", std::string("Frames=") + number, "-q"}).status, 0);
    }
    EXPECT_EQ(Render({"--range", "0000000001-3", "-q"}).status, 0) << "leading zeros name the same frame";
}

TEST_F(RenderErrorTest, MessagesSpeakAsTheProgramWithNumbersAndWordsAsWritten) {
    // The option parser's own errors come under the program's name too.
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"render", "--bogus"}, {"render", "-i", "x.png", "-o", "y.png", "--frames", "two"},
          {"frobnicate"}, {"render"}}) {
        const CliResult result = RunTaviron(arguments);
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_EQ(result.err.rfind("taviron: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << "one line: " << result.err;
    }
    const CliResult frames = Render({"--frames", "300"});
    EXPECT_NE(frames.err.find("0 .. 250, not 300"), std::string::npos) << frames.err;
    const CliResult threshold = Render({"--frames", "1", "--threshold", "1.5"});
    EXPECT_NE(threshold.err.find("0 .. 1, not 1.5"), std::string::npos) << threshold.err;
    // One word for the last direction in help, errors and info.
    const CliResult direction = Render({"--direction", "sideways"});
    EXPECT_NE(direction.err.find("forward"), std::string::npos) << direction.err;
    EXPECT_EQ(direction.err.find("foreward"), std::string::npos) << direction.err;
    EXPECT_NE(RunTaviron({"info"}).out.find("\"Foreward\" (forward)"), std::string::npos);
    ExpectNoOutput();
}

TEST_F(RenderErrorTest, SetIsHeldToTheRangesAndKindsTheToolDeclares) {
    const std::pair<const char*, const char*> refused[] = {
        {"Frames=1e9", "0 .. 250, not 1e9"},   // a window of two billion frames
        {"Frames=2.5", "whole numbers"},
        {"FilterMethod=5", "4 (random), not 5"},
        {"SampleDirection=3", "2 (forward), not 3"},
        {"Threshold=5", "0 .. 1, not 5"},
        {"Red=0.5", "0 (off) or 1 (on)"},
        {"Input=1", "\"Input\" is the tool's Image input"},
        {"TrackData=0.5", "\"TrackData\" is the tool's Point input"},
        {"Mask=1", "\"Mask\""},
        {"About=1", "\"About\""},
        {"Output=1", "no control with ID \"Output\""},
    };
    for (const auto& [setting, named] : refused) {
        const CliResult result = Render({"--frames", "1", "--set", setting});
        ExpectFailure(result, 1, named);
        EXPECT_NE(result.err.find("--set"), std::string::npos) << result.err;
    }
    ExpectFailure(Render({"--frames", "1", "--set", "Bogus=1"}), 1, "UseData");  // names what --set can set
    ExpectNoOutput();

    const CliResult accepted = Render({"--set", "Frames=1", "--set", "SampleDirection=2", "--set", "Red=0"});
    EXPECT_EQ(accepted.status, 0) << accepted.err;
}

// Values refused by their own rules are refused as the command line is
// read: no plug-in is opened for a command line that cannot run.
TEST_F(RenderErrorTest, ValuesAreRefusedBeforeThePluginIsOpened) {
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--range", "9-2"}, "--range 9-2 ends before it starts"},
        {{"--channels", "rgbq"}, "--channels takes letters of \"rgba\", not \"rgbq\""},
        {{"--set", "Frames"}, "--set takes ID=VALUE, not \"Frames\""},
    };
    for (const auto& [arguments, named] : refused) {
        std::vector<std::string> more = arguments;
        more.insert(more.end(), {"--plugin", dir / "no-such-module.so"});
        ExpectFailure(Render(more), 1, named);
    }
    ExpectNoOutput();
}

TEST_F(RenderErrorTest, RenderWithoutAWindowIsNoSilentCopy) {
    const CliResult newcomer = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png"});
    ExpectFailure(newcomer, 1, "--frames");
    ExpectNoOutput();

    // A copy asked for is one.
    const CliResult copy = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--frames", "0"});
    ASSERT_EQ(copy.status, 0) << copy.err;
    for (int frame = 1; frame <= 3; ++frame)
        EXPECT_EQ(ReadPicture(FrameFile(dir.Path(), "out", frame, "png")).samples,
                  ReadPicture(FrameFile(dir.Path(), "plate", frame, "png")).samples);

    // One file as the input: every frame of its window would be that file.
    const std::string plate = FrameFile(dir.Path(), "plate", 2, "png");
    ExpectFailure(RunTaviron({"render", "-i", plate, "-o", dir / "one.png", "--frames", "2"}), 1,
                  "the input " + plate + " names one file");
    ExpectFailure(RunTaviron({"render", "-i", plate, "-o", dir / "one.####.png", "--set", "Frames=1", "--dry-run"}),
                  1, "--frames 0 to copy");
    const CliResult single = RunTaviron({"render", "-i", plate, "-o", dir / "one.png", "--frames", "0"});
    ASSERT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(ReadPicture(dir / "one.png").samples, ReadPicture(plate).samples);
}

TEST_F(RenderErrorTest, OutputThatNamesAnInputIsRefusedBeforeAnythingIsWritten) {
    const Picture before = ReadPicture(FrameFile(dir.Path(), "plate", 2, "png"));
    ExpectFailure(RunTaviron({"render", "--frames", "0", "-i", dir / "plate.####.png", "-o", dir / "plate.%04d.png"}), 1,
                  "plate.0001.png");
    WritePicture(dir / "mask.png", RandomPicture(4, 3, {"Y"}, 9, 255), OIIO::TypeDesc::UINT8);
    ExpectFailure(RunTaviron({"render", "--frames", "0", "-i", dir / "plate.####.png", "--range", "1", "--mask", dir / "mask.png", "-o",
                              dir / "mask.png"}),
                  1, "mask.png");
    EXPECT_EQ(ReadPicture(FrameFile(dir.Path(), "plate", 2, "png")).samples, before.samples);
    ExpectNoOutput({"mask.png"});
}

TEST_F(RenderErrorTest, UnreadableInputsAreInputErrorsNamingTheFile) {
    ExpectFailure(RunTaviron({"render", "--frames", "0", "-i", dir / "nothing.####.exr", "-o", dir / "out.####.exr"}), 2,
                  "nothing.####.exr");
    ExpectFailure(Render({"--plugin", dir / "no-plugin.so"}), 2, "no-plugin.so");

    std::ofstream(dir / "track.csv") << "frame,x,y\n1,0.5,0.5\n2,0.5,oops\n";
    ExpectFailure(Render({"--track", dir / "track.csv"}), 2, "track.csv:3");
    ExpectFailure(Render({"--track", dir / "missing.csv"}), 2, "missing.csv");

    WritePicture(dir / "small-mask.png", RandomPicture(2, 2, {"Y"}, 9, 255), OIIO::TypeDesc::UINT8);
    ExpectFailure(Render({"--mask", dir / "small-mask.png"}), 2, "small-mask.png");

    std::ofstream(FrameFile(dir.Path(), "plate", 2, "png")) << "not a picture";
    ExpectFailure(Render({"--frames", "1"}), 2, "plate.0002.png");
    ExpectNoOutput({"small-mask.png", "track.csv"});
}

TEST_F(RenderErrorTest, UnwritableOutputsAreOutputErrorsLeavingNoFileBehind) {
    ExpectFailure(RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "plate.0001.png/renders/out.####.png",
                              "--frames", "1"}),
                  3, "plate.0001.png/renders");
    // A directory where the second output file should go.
    std::filesystem::create_directory(dir / "out.0002.png");
    const CliResult result = Render({"--threads", "1", "--frames", "1"});
    ExpectFailure(result, 3, "out.0002.png: Is a directory");
    std::vector<std::string> left = dir.Files();
    for (const std::string& name : left) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

// The output's format, encoding and depth are checked before any frame is
// decoded: with a broken frame on disk, the status is still a usage error.
TEST_F(RenderErrorTest, OutputSettingsAreRefusedBeforeAnyFrameIsDecoded) {
    std::ofstream(FrameFile(dir.Path(), "plate", 2, "png")) << "not a picture";
    const auto render = [&](const std::string& out, std::vector<std::string> more) {
        std::vector<std::string> arguments = {"render", "-i", dir / "plate.####.png", "-o", dir / out, "--frames", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    };
    ExpectFailure(render("out.####.exr", {"--exr-compression", "zap"}), 1, "\"zap\"");
    ExpectFailure(render("out.####.exr", {"--exr-compression", "piz:3"}), 1, "\"piz:3\"");
    ExpectFailure(render("out.####.png", {"--exr-compression", "zip"}), 1, "openexr outputs");
    ExpectFailure(render("out.####.png", {"--jpeg-quality", "90"}), 1, "jpeg outputs");
    ExpectFailure(render("out.####.jpg", {"--jpeg-quality", "0"}), 1, "1 to 100");
    ExpectFailure(render("out.####.png", {"--png-level", "12"}), 1, "0 to 9");
    // Levels the image library would write silently at its default.
    for (const std::string level : {"zip:0", "zip:10", "zip:99", "zips:0", "zip:4.5", "zip:"})
        ExpectFailure(render("out.####.exr", {"--exr-compression", level}), 1, "zip");
    ExpectFailure(render("out.####.exr", {"--exr-compression", "zip:0"}), 1, "a level 1 to 9, not \"zip:0\"");
    for (const std::string level : {"dwaa:0", "dwab:0.0", "dwaa:2.5", "dwaa:-3", "dwaa:4e1", "dwaa:."})
        ExpectFailure(render("out.####.exr", {"--exr-compression", level}), 1, "a level 1 to 999999999");
    ExpectFailure(render("out.####.exr", {"--exr-compression", ""}), 1, "not \"\"");
    ExpectFailure(render("out.####.jpg", {"--jpeg-quality", ""}), 1, "1 to 100, not \"\"");
    ExpectFailure(render("out.####.png", {"--png-level", ""}), 1, "0 to 9, not \"\"");
    ExpectFailure(render("out.####.xyz", {}), 1, "\".xyz\"");
    ExpectFailure(render("out.####.exr", {"--depth", "8"}), 1, "written half");
    ExpectFailure(render("out.####.jpg", {"--depth", "16"}), 1, "--depth 16");
    ExpectFailure(render(std::string(240, 'n') + ".####.png", {}), 1, "too long");
    ExpectNoOutput();
}

// A range far wider than the clip names the missing frames once, as ranges.
TEST_F(RenderErrorTest, RangeWiderThanTheClipNamesTheMissingFramesOnce) {
    const CliResult result = Render({"--range", "-5-20000", "--frames", "1"});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find("plate.####.png has no file for frames -5-0, 4-20000\n"), std::string::npos) << result.err;
    EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 3) << result.err;
    ExpectNoOutput({"out.0001.png", "out.0002.png", "out.0003.png"});
}

}  // namespace
