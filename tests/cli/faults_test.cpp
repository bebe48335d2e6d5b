// Faults an unattended render meets on shared storage: broken or odd frames,
// outputs that cannot be written, modules that are not the plug-in, unusual
// path names. Whatever happens, the program ends with a status and one line
// naming what is at fault, leaves no partial file under an output name and no
// temporary file, and changes no file it reads.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// Every file under `root`, relative name to contents.
std::map<std::string, std::string> FilesUnder(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = Bytes(entry.path());
    return files;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

class FaultTest : public ::testing::Test {
protected:
    // `count` frames of `width` x `height` RGB, 8-bit PNG.
    void WritePlates(int count, int width = 4, int height = 3) {
        for (int frame = 1; frame <= count; ++frame)
            WritePicture(Plate(frame), RandomPicture(width, height, {"R", "G", "B"}, static_cast<unsigned>(frame), 255),
                         OIIO::TypeDesc::UINT8);
    }
    std::string Plate(int frame) const { return FrameFile(dir.Path(), "plate", frame, "png"); }
    std::string Out(int frame, const std::string& extension = "png") const {
        return FrameFile(dir.Path(), "out", frame, extension);
    }

    // Remembers every file there is now as a source that must stay as it is.
    void TakeSources() { sources = FilesUnder(dir.Path()); }

    CliResult Render(std::vector<std::string> more) {
        std::vector<std::string> arguments = {"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        if (std::find(more.begin(), more.end(), "--frames") == more.end()) {
            arguments.insert(arguments.end(), {"--frames", "0"});  // a copy, asked for
        }
        return RunTaviron(arguments);
    }

    // The status, and one line of the program's own naming `named`; the image
    // library may have said something of its own before it.
    static void ExpectFailure(const CliResult& result, int status, const std::vector<std::string>& named) {
        EXPECT_EQ(result.status, status) << result.err;
        std::vector<std::string> own;
        for (const std::string& line : LinesOf(result.err))
            if (line.rfind("taviron:", 0) == 0) own.push_back(line);
        ASSERT_EQ(own.size(), 1u) << "one line of the program's own: " << result.err;
        EXPECT_EQ(LinesOf(result.err).back(), own.front()) << "the program's line comes last: " << result.err;
        for (const std::string& name : named)
            EXPECT_NE(own.front().find(name), std::string::npos) << "the message should name " << name << ": "
                                                                 << own.front();
    }

    // The sources as they were, complete outputs under the names in
    // `outputs` only, and nothing else (no temporary file).
    void ExpectOnlyOutputs(const std::vector<std::string>& outputs) {
        std::map<std::string, std::string> files = FilesUnder(dir.Path());
        for (const auto& [name, bytes] : sources) {
            EXPECT_EQ(files.count(name), 1u) << name << " is gone";
            EXPECT_TRUE(files[name] == bytes) << name << " changed";
            files.erase(name);
        }
        std::vector<std::string> left;
        for (const auto& entry : files) left.push_back(entry.first);
        EXPECT_EQ(left, outputs);
        for (const std::string& name : left) EXPECT_NO_THROW(ReadPicture(dir / name)) << name << " is incomplete";
    }

    ScratchDirectory dir;
    std::map<std::string, std::string> sources;
};

// ---- Input frames -------------------------------------------------------

// The render stops at the first frame whose window needs the broken file;
// the frames before it are written and complete.
TEST_F(FaultTest, TruncatedFrameStopsTheRenderAtTheFirstWindowThatNeedsIt) {
    WritePlates(5);
    const std::string whole = Bytes(Plate(3));
    std::ofstream(Plate(3), std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    TakeSources();
    ExpectFailure(Render({"--frames", "1"}), 2, {"plate.0003.png", "frame 2"});
    ExpectOnlyOutputs({"out.0001.png"});
}

TEST_F(FaultTest, FrameOfAnotherSizeIsReadAtClampedPositionsAndKeepsItsOwnSize) {
    WritePlates(3);
    WritePicture(Plate(2), RandomPicture(6, 5, {"R", "G", "B"}, 7, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    const CliResult result = Render({"--frames", "1", "-q"});
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectOnlyOutputs({"out.0001.png", "out.0002.png", "out.0003.png"});
    EXPECT_EQ(ReadPicture(Out(1)).width, 4);
    EXPECT_EQ(ReadPicture(Out(2)).width, 6);
    EXPECT_EQ(ReadPicture(Out(2)).height, 5);
}

// A grey frame among colour ones would be filtered as grey = red = green =
// blue and its own output written grey, dropping the colour the window put
// there: refused, naming both files' channels.
TEST_F(FaultTest, FrameWithOtherChannelsIsRefusedNamingThem) {
    WritePlates(4);
    WritePicture(Plate(3), RandomPicture(4, 3, {"Y"}, 3, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    ExpectFailure(Render({"--frames", "1"}), 2, {"plate.0003.png", "Y", "R, G, B", "frame 2"});
    ExpectOnlyOutputs({"out.0001.png"});

    WritePicture(Plate(3), RandomPicture(4, 3, {"R", "G", "B", "A"}, 3, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    ExpectFailure(Render({"--frames", "1"}), 2, {"plate.0003.png", "R, G, B, A"});
}

TEST_F(FaultTest, MaskFrameOfAnotherSizeInASequenceNamesTheMask) {
    WritePlates(3);
    for (int frame = 1; frame <= 3; ++frame)
        WritePicture(FrameFile(dir.Path(), "matte", frame, "png"),
                     RandomPicture(frame == 2 ? 2 : 4, frame == 2 ? 2 : 3, {"Y"}, 10u + static_cast<unsigned>(frame),
                                   255),
                     OIIO::TypeDesc::UINT8);
    TakeSources();
    ExpectFailure(Render({"--mask", dir / "matte.####.png"}), 2, {"matte.0002.png", "2x2", "4x3"});
    ExpectOnlyOutputs({"out.0001.png"});
}

TEST_F(FaultTest, NanAndInfinitePixelsAreFilteredAsValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    for (int frame = 1; frame <= 3; ++frame) {
        Picture picture = RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame));
        if (frame == 2) {
            picture.samples[0] = nan;        // (0, 0) R
            picture.samples[4] = infinity;   // (1, 0) G
            picture.samples[8] = -infinity;  // (2, 0) B
        }
        WritePicture(FrameFile(dir.Path(), "plate", frame, "exr"), picture, OIIO::TypeDesc::FLOAT);
    }
    TakeSources();
    const auto render = [&](const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / "plate.####.exr", "-o", dir / "out.####.exr"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        if (std::find(more.begin(), more.end(), "--frames") == more.end()) {
            arguments.insert(arguments.end(), {"--frames", "0"});  // a copy, asked for
        }
        return RunTaviron(arguments);
    };
    for (const char* method : {"median", "average"}) {
        const CliResult result = render({"--frames", "1", "--method", method, "--threshold", "0.05"});
        EXPECT_EQ(result.status, 0) << method << ": " << result.err;
        ExpectOnlyOutputs({"out.0001.exr", "out.0002.exr", "out.0003.exr"});
        // Pixels whose windows hold only finite values stay finite.
        const Picture out = ReadPicture(Out(2, "exr"));
        for (int y = 1; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_TRUE(std::isfinite(out.At(x, y, 0))) << method << " at " << x << "," << y;
    }
    // Passed through, the values arrive as they were.
    ASSERT_EQ(render({"--frames", "0"}).status, 0);
    const Picture out = ReadPicture(Out(2, "exr"));
    EXPECT_TRUE(std::isnan(out.At(0, 0, 0)));
    EXPECT_EQ(out.At(1, 0, 1), infinity);
    EXPECT_EQ(out.At(2, 0, 2), -infinity);
}

// ---- Outputs --------------------------------------------------------------

TEST_F(FaultTest, OutputDirectoryThatIsAFileIsAnOutputError) {
    WritePlates(3);
    TakeSources();
    ExpectFailure(RunTaviron({"render", "--frames", "0", "-i", dir / "plate.####.png", "-o", dir / "plate.0001.png/out.####.png"}), 3,
                  {"plate.0001.png"});
    ExpectOnlyOutputs({});
}

// A small file system of its own, mounted for the test and gone after it.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& path, const std::string& size) : path_(path) {
        fs::create_directory(path);
        if (mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0) mounted_ = true;
        else reason_ = std::strerror(errno);
    }
    ~SmallFileSystem() {
        if (mounted_) umount2(path_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

// The disk fills after a frame or two: the render ends with an output error
// naming a frame's file, and what is left under output names is complete.
TEST_F(FaultTest, FullDiskIsAnOutputErrorLeavingOnlyCompleteFiles) {
    for (const char* extension : {"png", "exr", "jpg", "tif"}) {
        SCOPED_TRACE(extension);
        ScratchDirectory plates;
        for (int frame = 1; frame <= 6; ++frame)
            WritePicture(FrameFile(plates.Path(), "plate", frame, extension),
                         RandomPicture(48, 48, {"R", "G", "B"}, static_cast<unsigned>(frame), 255),
                         OIIO::TypeDesc::UINT8);
        const std::map<std::string, std::string> before = FilesUnder(plates.Path());
        const SmallFileSystem full(dir / "full", "16k");
        if (!full.Mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << full.Reason();
        const std::string in = std::string("plate.####.") + extension;
        const std::string out = std::string("full/out.####.") + extension;
        const CliResult result = RunTaviron({"render", "--frames", "0", "-q", "-i", plates / in, "-o", dir / out});
        ExpectFailure(result, 3, {dir / "full/out.", "." + std::string(extension)});
        EXPECT_TRUE(FilesUnder(plates.Path()) == before);
        for (const auto& [name, bytes] : FilesUnder(dir / "full")) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
            const Picture written = ReadPicture(dir / ("full/" + name));
            EXPECT_EQ(written.width, 48) << name;
        }
    }
}

TEST_F(FaultTest, InfoOnAFullDeviceIsAnOutputError) {
    for (const char* command : {"info", "about"}) {
        SCOPED_TRACE(command);
        ExpectFailure(RunTaviron({command}, "/dev/full"), 3, {"standard output"});
    }
}

// Track files as they come from other programs and from accidents: each is
// refused naming the line, shown short and printable.
TEST_F(FaultTest, TrackFileFaultsNameTheLine) {
    WritePlates(2);
    TakeSources();
    const std::pair<std::string, std::vector<std::string>> files[] = {
        {"3,nan,nan\n4,0.5,0.5\n", {"track.csv:1", "finite"}},  // a point, not a header
        {"frame,x,y\n1,0.5,0.5\n2,inf,0.5\n", {"track.csv:3", "finite"}},
        {"frame,x,y\n1,0.5,0.5\n2,0.5,-nan\n", {"track.csv:3", "finite"}},
        {"1,0.5,0.5\n2,0.5,0.5\n01,0.4,0.4\n", {"track.csv:3", "frame 1 is tracked twice"}},
        {"frame,x,y\n1,0.5,0.5\n" + std::string(400, '\x01') + "\xff\xfe,2\n", {"track.csv:3", "..."}},
    };
    for (const auto& [contents, named] : files) {
        SCOPED_TRACE(named.front() + " " + named.back());
        std::ofstream(dir / "track.csv", std::ios::binary) << contents;
        const CliResult result = Render({"--track", dir / "track.csv"});
        ExpectFailure(result, 2, named);
        EXPECT_LT(result.err.size(), 250u) << result.err;
        for (char c : result.err) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << static_cast<int>(c);
        fs::remove(dir / "track.csv");
        EXPECT_TRUE(FilesUnder(dir.Path()) == sources);
    }
}

// The output of frame 2 would be the file of frame 12, read only as a
// neighbour in frame 2's window.
TEST_F(FaultTest, OutputNamingANeighbourInTheWindowIsRefused) {
    for (int frame : {1, 2, 3, 12})
        WritePicture(dir / ("plate." + std::to_string(frame) + ".png"),
                     RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    ASSERT_TRUE(fs::exists(dir / "plate.12.png"));
    const std::vector<std::string> window = {"render", "-i", dir / "plate.#.png", "--range", "2", "-o",
                                             dir / "plate.1#.png"};
    std::vector<std::string> wide = window;
    wide.insert(wide.end(), {"--frames", "10"});
    ExpectFailure(RunTaviron(wide), 1, {"plate.12.png"});
    ExpectOnlyOutputs({});
    // Outside the window the same names are fine.
    std::vector<std::string> narrow = window;
    narrow.insert(narrow.end(), {"--frames", "1", "-q"});
    sources.erase("plate.12.png");  // not read in this window: written over
    EXPECT_EQ(RunTaviron(narrow).status, 0);
    ExpectOnlyOutputs({"plate.12.png"});
}

TEST_F(FaultTest, OutputNamingAMaskOfASequenceIsRefused) {
    WritePlates(3);
    for (int frame = 1; frame <= 3; ++frame)
        WritePicture(FrameFile(dir.Path(), "matte", frame, "png"), RandomPicture(4, 3, {"Y"}, 5, 255),
                     OIIO::TypeDesc::UINT8);
    TakeSources();
    ExpectFailure(RunTaviron({"render", "--frames", "0", "-i", dir / "plate.####.png", "--mask", dir / "matte.####.png", "--range",
                              "2-3", "-o", dir / "matte.%04d.png"}),
                  1, {"matte.0002.png"});
    ExpectOnlyOutputs({});
}

// ---- Plug-in modules ------------------------------------------------------

class ModuleFaultTest : public FaultTest {
protected:
    void SetUp() override {
        WritePlates(2);
        std::ofstream(dir / "taviron.so") << "not a module\n";
        TakeSources();
    }

    // `info` and `render` with the module both fail naming `named`.
    void ExpectRefused(const std::string& module, const std::vector<std::string>& named) {
        SCOPED_TRACE(module);
        ExpectFailure(RunTaviron({"info", "--plugin", module}), 2, named);
        ExpectFailure(Render({"--plugin", module}), 2, named);
        ExpectOnlyOutputs({});
    }
};

TEST_F(ModuleFaultTest, MissingModuleIsNamed) { ExpectRefused(dir / "plugins/taviron.so", {"plugins/taviron.so"}); }

TEST_F(ModuleFaultTest, FileThatIsNoModuleIsNamed) { ExpectRefused(dir / "taviron.so", {dir / "taviron.so"}); }

TEST_F(ModuleFaultTest, ModuleRegisteringNothingIsNamed) {
    ExpectRefused(EMPTY_MODULE_PATH, {EMPTY_MODULE_PATH, "Orlemby.Taviron"});
}

TEST_F(ModuleFaultTest, ModuleRegisteringAnotherToolNamesBothIDs) {
    ExpectRefused(OTHER_TOOL_MODULE_PATH, {OTHER_TOOL_MODULE_PATH, "Orlemby.Taviron", "Other.Tool"});
}

// ---- Names ----------------------------------------------------------------

TEST_F(FaultTest, PathsWithSpacesAndAccentsRenderAsAnyOther) {
    fs::create_directories(dir / "plates dir");
    fs::create_directories(dir / "renders dir");
    for (int frame = 1; frame <= 3; ++frame)
        WritePicture(FrameFile(dir / "plates dir", "é plate", frame, "png"),
                     RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    WritePicture(dir / "plates dir/ü matte.png", RandomPicture(4, 3, {"Y"}, 4, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    const CliResult result = RunTaviron({"render", "--frames", "0", "-q", "-i", dir / "plates dir/é plate.####.png", "--mask",
                                         dir / "plates dir/ü matte.png", "-o", dir / "renders dir/ø out.%04d.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectOnlyOutputs({"renders dir/ø out.0001.png", "renders dir/ø out.0002.png", "renders dir/ø out.0003.png"});
}

}  // namespace
