// Faults an unattended render meets on shared storage: broken or odd frames,
// outputs that cannot be written, modules that are not the plug-in, unusual
// path names. Whatever happens, the program ends with a status and one line
// naming what is at fault, leaves no partial file under an output name and no
// temporary file, and changes no file it reads.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

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

    // The program's own lines that name a problem: not the closing list of
    // frames not written, nor the summary.
    static std::vector<std::string> ProblemLines(const CliResult& result) {
        std::vector<std::string> problems;
        for (const std::string& line : LinesOf(result.err))
            if (line.rfind("taviron:", 0) == 0 && line.rfind("taviron: frames not written:", 0) != 0 &&
                line.rfind("taviron: rendered ", 0) != 0)
                problems.push_back(line);
        return problems;
    }

    // The status, and one problem line of the program's own naming `named`
    // (the image library may have said something of its own before it);
    // with `notWritten`, the closing list of the frames not written.
    static void ExpectFailure(const CliResult& result, int status, const std::vector<std::string>& named,
                              const std::string& notWritten = "") {
        EXPECT_EQ(result.status, status) << result.err;
        const std::vector<std::string> problems = ProblemLines(result);
        ASSERT_EQ(problems.size(), 1u) << "one problem named once: " << result.err;
        for (const std::string& name : named)
            EXPECT_NE(problems.front().find(name), std::string::npos) << "the message should name " << name << ": "
                                                                      << problems.front();
        if (!notWritten.empty()) {
            EXPECT_NE(result.err.find("\ntaviron: frames not written: " + notWritten + "\n"), std::string::npos)
                << result.err;
        }
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

// Every frame that cannot be read follows one rule: the outputs whose window
// holds it are not written, the others are, each problem is named once, and
// the frames not written close the report as ranges.
TEST_F(FaultTest, BrokenFramesFailOnlyTheOutputsWhoseWindowHoldsThem) {
    WritePlates(10);
    std::ofstream(Plate(3), std::ios::binary | std::ios::trunc) << "not a picture";
    std::ofstream(Plate(6), std::ios::binary | std::ios::trunc);  // zero bytes
    fs::remove(Plate(9));
    TakeSources();
    const CliResult result = Render({"--frames", "1", "--range", "1-10"});
    EXPECT_EQ(result.status, 2) << result.err;
    const std::vector<std::string> problems = ProblemLines(result);
    ASSERT_EQ(problems.size(), 3u) << result.err;
    EXPECT_NE(problems[0].find("plate.0003.png"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("plate.0006.png: it is empty"), std::string::npos) << problems[1];
    EXPECT_NE(problems[2].find("no file for frame 9"), std::string::npos) << problems[2];
    EXPECT_NE(result.err.find("\ntaviron: frames not written: 2-7, 9\n"), std::string::npos) << result.err;
    // Frames 8 and 10 render without their missing neighbour, as the tool skips it.
    ExpectOnlyOutputs({"out.0001.png", "out.0008.png", "out.0010.png"});
}

TEST_F(FaultTest, TruncatedFrameFailsOnlyTheOutputsWhoseWindowHoldsIt) {
    WritePlates(5);
    const std::string whole = Bytes(Plate(3));
    std::ofstream(Plate(3), std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    TakeSources();
    ExpectFailure(Render({"-q", "--frames", "1"}), 2, {"plate.0003.png"}, "2-4");
    ExpectOnlyOutputs({"out.0001.png", "out.0005.png"});
}

// A resumed render trusts an output only when all of it decodes: one cut
// short after it was written (its header intact) is rendered again, and the
// dry run says so, in every format whose files can be cut.
TEST_F(FaultTest, TruncatedFrameOutputsAreRenderedAgainWhenResuming) {
    WritePlates(5, 160, 120);
    for (const std::string extension : {"png", "exr", "tif"}) {
        SCOPED_TRACE(extension);
        const std::string pattern = dir / ("out.####." + extension);
        const std::vector<std::string> render = {"render", "-q", "-i", dir / "plate.####.png", "-o", pattern,
                                                 "--frames", "1", "--skip-existing"};
        ASSERT_EQ(RunTaviron(render).status, 0);
        const Picture whole = ReadPicture(Out(5, extension));
        fs::resize_file(Out(5, extension), fs::file_size(Out(5, extension)) / 2);

        std::vector<std::string> dryRun = render;
        dryRun.push_back("--dry-run");
        const CliResult plan = RunTaviron(dryRun);
        EXPECT_EQ(plan.status, 0) << plan.err;
        EXPECT_NE(plan.out.find("write " + pattern + ": frame 5\n"), std::string::npos) << plan.out;
        EXPECT_NE(plan.out.find("skip, complete output exists, " + pattern + ": frames 1-4\n"), std::string::npos)
            << plan.out;
        EXPECT_NE(plan.out.find("render again, output does not decode whole, " + pattern + ": frame 5\n"),
                  std::string::npos)
            << plan.out;

        const CliResult resumed = RunTaviron(render);
        EXPECT_EQ(resumed.status, 0) << resumed.err;
        EXPECT_EQ(ReadPicture(Out(5, extension)).samples, whole.samples);
    }
}

TEST_F(FaultTest, DirectoryInPlaceOfAFrameSaysSo) {
    WritePlates(5);
    fs::remove(Plate(3));
    fs::create_directory(Plate(3));
    TakeSources();
    ExpectFailure(Render({"-q", "--frames", "1"}), 2, {"plate.0003.png: it is a directory"}, "2-4");
    ExpectOnlyOutputs({"out.0001.png", "out.0005.png"});
}

// A FIFO waits for a writer and a device never ends: a frame, a mask or a
// track file that is not a regular file, also behind a link, is refused
// unopened, naming it.
TEST_F(FaultTest, SpecialFilesInPlaceOfAFrameAMaskOrATrackAreRefusedUnopened) {
    WritePlates(5);
    fs::remove(Plate(3));
    ASSERT_EQ(mkfifo(Plate(3).c_str(), 0600), 0);
    fs::remove(Plate(1));
    fs::create_symlink("/dev/zero", Plate(1));
    ASSERT_EQ(mkfifo((dir / "track.csv").c_str(), 0600), 0);
    fs::create_symlink("/dev/urandom", dir / "matte.png");
    TakeSources();
    const std::vector<std::string> render = {"render", "-q", "-i", dir / "plate.####.png", "-o", dir / "out.####.png"};
    const auto within = [&](std::vector<std::string> more) {
        more.insert(more.begin(), render.begin(), render.end());
        return RunTavironWithin(60, more);
    };
    const CliResult frames = within({"--frames", "1"});
    EXPECT_EQ(frames.status, 2) << frames.err;
    EXPECT_NE(frames.err.find("plate.0001.png: it is a character device, not a regular file"), std::string::npos)
        << frames.err;
    EXPECT_NE(frames.err.find("plate.0003.png: it is a FIFO, not a regular file"), std::string::npos) << frames.err;
    EXPECT_NE(frames.err.find("frames not written: 1-4"), std::string::npos) << frames.err;
    ExpectOnlyOutputs({"out.0005.png"});
    fs::remove(Out(5));
    ExpectFailure(within({"--frames", "0", "--range", "5", "--mask", dir / "matte.png"}), 2,
                  {"matte.png: it is a character device"});
    ExpectFailure(within({"--frames", "0", "--range", "5", "--track", dir / "track.csv"}), 2,
                  {"track file " + dir / "track.csv" + ": it is a FIFO"});
    ExpectOnlyOutputs({});
}

TEST_F(FaultTest, UnreadableFrameSaysPermissionDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    WritePlates(5);
    fs::permissions(Plate(3), fs::perms::none);
    TakeSources();
    ExpectFailure(Render({"-q", "--frames", "1"}), 2, {"plate.0003.png: Permission denied"}, "2-4");
    fs::permissions(Plate(3), fs::perms::owner_all);
}

// A small file whose display window is enormous: its frame cannot be held,
// and the message names the file and what it needed.
TEST_F(FaultTest, FrameTooLargeForMemoryNamesTheFileAndItsSize) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer ends the program on an allocation this large";
#endif
    if (std::system("oiiotool --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs oiiotool";
    for (int frame = 1; frame <= 2; ++frame)
        ASSERT_EQ(std::system(("oiiotool --create 4x3 3 --fullsize 200000x200000 -o '" +
                               FrameFile(dir.Path(), "huge", frame, "exr") + "'")
                                  .c_str()),
                  0);
    TakeSources();
    ExpectFailure(RunTaviron({"render", "-q", "--frames", "1", "-i", dir / "huge.####.exr", "-o", dir / "out.####.exr"}),
                  2, {"huge.0001.exr", "out of memory", "200000x200000"}, "1-2");
    ExpectOnlyOutputs({});
}

// A frame of another size would be sampled at clamped positions and blended
// in as ghosts: it fails only the outputs whose window holds a frame of
// another size than their own, each message naming both sizes.
TEST_F(FaultTest, FrameOfAnotherSizeFailsOnlyTheWindowsHoldingIt) {
    WritePlates(5);
    WritePicture(Plate(3), RandomPicture(6, 5, {"R", "G", "B"}, 7, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    const CliResult result = Render({"--frames", "1", "-q"});
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_NE(result.err.find("\ntaviron: frames not written: 2-4\n"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("plate.0003.png is 6x5 but the frames whose window holds it are 4x3"), std::string::npos)
        << result.err;
    for (const std::string& line : ProblemLines(result)) {
        EXPECT_NE(line.find("6x5"), std::string::npos) << line;
        EXPECT_NE(line.find("4x3"), std::string::npos) << line;
    }
    ExpectOnlyOutputs({"out.0001.png", "out.0005.png"});
}

// The first frame of a clip sets no size for the rest: each output's own
// frame does, so a render starting there, one starting later and a farm's
// chunks agree on the frames written and on their bytes.
TEST_F(FaultTest, FirstFrameOfAnotherSizeFailsOnlyItsNeighbours) {
    WritePlates(9);
    WritePicture(Plate(1), RandomPicture(8, 6, {"R", "G", "B"}, 7, 255), OIIO::TypeDesc::UINT8);
    const auto render = [&](const std::string& out, const std::string& range) {
        std::vector<std::string> arguments = {"render", "-q", "-i", dir / "plate.####.png", "-o", dir / out, "--frames", "1"};
        if (!range.empty()) arguments.insert(arguments.end(), {"--range", range});
        return RunTaviron(arguments);
    };
    const CliResult whole = render("whole.####.png", "");
    EXPECT_EQ(whole.status, 2) << whole.err;
    EXPECT_NE(whole.err.find("frames not written: 1-2\n"), std::string::npos) << whole.err;
    const CliResult later = render("later.####.png", "2-9");
    EXPECT_NE(later.err.find("frames not written: 2\n"), std::string::npos) << later.err;
    EXPECT_NE(later.err.find("plate.0001.png is 8x6 but the frames whose window holds it are 4x3"), std::string::npos)
        << later.err;
    render("chunk.####.png", "1-4");
    render("chunk.####.png", "5-9");
    for (int frame = 1; frame <= 9; ++frame) {
        const std::string written = FrameFile(dir.Path(), "whole", frame, "png");
        EXPECT_EQ(fs::exists(written), frame >= 3) << written;
        EXPECT_EQ(Bytes(written), Bytes(FrameFile(dir.Path(), "chunk", frame, "png"))) << frame;
        if (frame >= 2) {
            EXPECT_EQ(Bytes(written), Bytes(FrameFile(dir.Path(), "later", frame, "png"))) << frame;
        }
    }
}

// A grey frame among colour ones would be filtered as grey = red = green =
// blue and its own output written grey, dropping the colour the window put
// there: refused, naming both files' channels.
TEST_F(FaultTest, FrameWithOtherChannelsIsRefusedNamingThem) {
    WritePlates(4);
    WritePicture(Plate(3), RandomPicture(4, 3, {"Y"}, 3, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    ExpectFailure(Render({"--frames", "1"}), 2, {"plate.0003.png", "Y", "R, G, B"}, "2-4");
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
    ExpectFailure(Render({"--mask", dir / "matte.####.png"}), 2, {"matte.0002.png", "2x2", "4x3"}, "2");
    ExpectOnlyOutputs({"out.0001.png", "out.0003.png"});
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

// A name is checked for every frame of the range before any is rendered: a
// frame number that grows by a digit late in the range makes the temporary
// name of that frame too long, though the first frames' names fit.
TEST_F(FaultTest, OutputNameTooLongForALateFrameIsRefusedBeforeAnyFrame) {
    WritePlates(3);
    TakeSources();
    const long limit = pathconf(dir.Path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 0);
    // ".NAME.taviron-HOST-999999999.tmp", NAME being "STEM.9999.png".
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const std::string machine = std::string(host).substr(0, std::string(host).find('.'));
    const size_t stemLength = static_cast<size_t>(limit) - (1 + 9 + 9 + machine.size() + 1 + 9 + 4);
    const std::string pattern = dir / (std::string(stemLength, 'n') + ".####.png");
    const auto render = [&](const std::string& range) {
        return RunTaviron({"render", "-i", dir / "plate.####.png", "-o", pattern, "--frames", "1", "--range", range});
    };
    // Four digits fit exactly: those frames go on to find no input.
    EXPECT_EQ(render("9998-9999").status, 2);
    ExpectFailure(render("9998-10000"), 1, {std::string(stemLength, 'n') + ".10000.png", "too long"});
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

// Frame numbers of "1-3, 7" as the report writes them.
std::set<int> FramesOfRanges(const std::string& ranges) {
    std::set<int> frames;
    std::istringstream list(ranges);
    std::string range;
    while (std::getline(list, range, ',')) {
        const size_t dash = range.find('-', 1);
        const int first = std::stoi(range.substr(0, dash));
        const int last = dash == std::string::npos ? first : std::stoi(range.substr(dash + 1));
        for (int frame = first; frame <= last; ++frame) frames.insert(frame);
    }
    return frames;
}

// The disk fills after a frame or two, with frames still waiting for a
// writer: the render ends with an output error naming a frame's file, what is
// left under output names is complete, and every other frame, those dropped
// from the queue included, is listed as not written.
TEST_F(FaultTest, FullDiskIsAnOutputErrorLeavingOnlyCompleteFiles) {
    constexpr int kFrames = 12;
    for (const char* extension : {"png", "exr", "jpg", "tif"}) {
        SCOPED_TRACE(extension);
        ScratchDirectory plates;
        for (int frame = 1; frame <= kFrames; ++frame)
            WritePicture(FrameFile(plates.Path(), "plate", frame, extension),
                         RandomPicture(48, 48, {"R", "G", "B"}, static_cast<unsigned>(frame), 255),
                         OIIO::TypeDesc::UINT8);
        const std::map<std::string, std::string> before = FilesUnder(plates.Path());
        const SmallFileSystem full(dir / "full", "16k");
        if (!full.Mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << full.Reason();
        const std::string in = std::string("plate.####.") + extension;
        const std::string out = std::string("full/out.####.") + extension;
        const CliResult result = RunTaviron({"render", "--frames", "0", "-q", "-i", plates / in, "-o", dir / out});
        // Writers that were busy at once may each name their own file.
        EXPECT_EQ(result.status, 3) << result.err;
        const std::vector<std::string> problems = ProblemLines(result);
        ASSERT_FALSE(problems.empty()) << result.err;
        for (const std::string& problem : problems)
            EXPECT_NE(problem.find(dir / "full/out."), std::string::npos) << problem;
        const std::string notWrittenLine = "taviron: frames not written: ";
        const size_t listed = result.err.find(notWrittenLine);
        ASSERT_NE(listed, std::string::npos) << result.err;
        const size_t listStart = listed + notWrittenLine.size();
        std::set<int> accountedFor = FramesOfRanges(result.err.substr(listStart, result.err.find('\n', listStart) - listStart));
        const size_t notWritten = accountedFor.size();
        EXPECT_TRUE(FilesUnder(plates.Path()) == before);
        size_t complete = 0;
        for (const auto& [name, bytes] : FilesUnder(dir / "full")) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
            const Picture written = ReadPicture(dir / ("full/" + name));
            EXPECT_EQ(written.width, 48) << name;
            EXPECT_TRUE(accountedFor.insert(std::stoi(name.substr(name.find('.') + 1))).second)
                << name << " is written and listed as not written: " << result.err;
            ++complete;
        }
        EXPECT_EQ(accountedFor.size(), static_cast<size_t>(kFrames)) << "frames lost silently: " << result.err;
        EXPECT_EQ(complete + notWritten, static_cast<size_t>(kFrames));
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

// Every frame a window reads needs its point: without one the tool samples
// that frame undisplaced, a wrong picture. The outputs whose windows lack a
// point fail and the others render; frames beyond the clip's ends need none.
// A track with no point in any window is refused before anything is read.
TEST_F(FaultTest, TrackGapsFailTheOutputsWhoseWindowsNeedThem) {
    WritePlates(20);
    const auto writeTrack = [&](int shift, const std::string& lines = "") {
        std::ofstream track(dir / "track.csv", std::ios::trunc);
        track << lines;
        for (int frame = 1; frame <= 20 && lines.empty(); ++frame)
            if (frame != 10) track << frame + shift << ",0.5," << 0.01 * frame << '\n';
    };
    writeTrack(0);
    TakeSources();
    const std::vector<std::string> median = {"-q", "--frames", "4", "--track", dir / "track.csv"};
    std::vector<std::string> dryRun = median;
    dryRun.push_back("--dry-run");
    const CliResult planned = Render(dryRun);
    EXPECT_EQ(planned.status, 2) << "as the render's";
    const std::string plan = planned.out;
    EXPECT_NE(plan.find("has no point for frame 10, " + dir / "out.####.png: frames 6-14\n"), std::string::npos)
        << plan;
    ExpectFailure(Render(median), 2, {"track.csv", "no point for frame 10"}, "6-14");
    ExpectOnlyOutputs({"out.0001.png", "out.0002.png", "out.0003.png", "out.0004.png", "out.0005.png",
                       "out.0015.png", "out.0016.png", "out.0017.png", "out.0018.png", "out.0019.png",
                       "out.0020.png"});

    for (int frame = 1; frame <= 20; ++frame) fs::remove(Out(frame));
    const std::pair<std::string, std::vector<std::string>> untracked[] = {
        {"", {"track.csv", "1-20", "1001-1009, 1011-1020"}},  // numbered from 1001
        {"\n", {"track.csv", "no point"}},
        {"frame,x,y\n", {"track.csv", "no point"}},
        {"1e3,0.5,0.5\n", {"track.csv", "no point", "1e3,0.5,0.5"}},  // taken for a header
    };
    for (const auto& [lines, named] : untracked) {
        SCOPED_TRACE(lines);
        writeTrack(1000, lines);
        TakeSources();
        ExpectFailure(Render(median), 2, named);
        ExpectOnlyOutputs({});
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

// Another path to the same files: the check compares what the paths are,
// not how they are spelt.
TEST_F(FaultTest, OutputThroughAnotherPathToTheSourcesIsRefused) {
    fs::create_directory(dir / "plates");
    for (int frame = 1; frame <= 3; ++frame)
        WritePicture(FrameFile(dir / "plates", "plate", frame, "png"),
                     RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    std::ofstream(dir / "plates/track.csv") << "1,0.5,0.5\n2,0.5,0.5\n3,0.5,0.5\n";
    fs::create_directory_symlink(dir / "plates", dir / "linked");
    fs::create_directory(dir / "renders");
    fs::create_hard_link(dir / "plates/plate.0002.png", dir / "renders/hard.0002.png");
    fs::create_hard_link(dir / "plates/track.csv", dir / "renders/track.0001.csv");
    TakeSources();
    const auto render = [&](const std::string& out, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"render", "-i", dir / "plates/plate.####.png", "-o", out, "--frames", "1"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    };
    ExpectFailure(render(dir / "linked/plate.####.png"), 1, {"plate.0001.png"});
    ExpectFailure(render(dir / "renders/../linked/../plates/plate.####.png"), 1, {"plate.0001.png"});
    ExpectFailure(render(dir / "renders/hard.####.png"), 1, {"hard.0002.png"});
    ExpectFailure(render(dir / "renders/track.####.csv", {"--track", dir / "plates/track.csv", "--range", "1"}), 1,
                  {"track.0001.csv"});
    ExpectOnlyOutputs({});
}

TEST_F(FaultTest, OutputIntoABindMountOfTheSourcesIsRefused) {
    WritePlates(3);
    fs::create_directory(dir / "mirror");
    TakeSources();
    if (mount(dir.Path().c_str(), (dir / "mirror").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    const CliResult result = RunTaviron(
        {"render", "-i", dir / "plate.####.png", "-o", dir / "mirror/plate.####.png", "--frames", "1"});
    umount2((dir / "mirror").c_str(), MNT_DETACH);
    ExpectFailure(result, 1, {"mirror/plate.0001.png"});
    ExpectOnlyOutputs({});
}

// ---- Interruptions ----------------------------------------------------------

// A render started as a child, to be interrupted, its standard output in
// `standardOutput`.
class ChildRender {
public:
    ChildRender(const std::vector<std::string>& arguments, const std::string& standardOutput,
                const std::string& standardError = "/dev/null") {
        child_ = fork();
        if (child_ == 0) {
            std::vector<char*> argv;
            std::string program = TAVIRON_PROGRAM_PATH;
            argv.push_back(program.data());
            std::vector<std::string> copies = arguments;
            for (std::string& argument : copies) argv.push_back(argument.data());
            argv.push_back(nullptr);
            const int errors = open(standardError.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(errors, STDERR_FILENO);
            const int output = open(standardOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(output, STDOUT_FILENO);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    pid_t Pid() const { return child_; }
    // The exit status, or -1 when it did not exit.
    int Wait() {
        int status = 0;
        waitpid(child_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t child_ = -1;
};

bool HasTemporaryFile(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".tmp") return true;
    return false;
}

// Large frames of noise compressed hard: each stays a while under its
// temporary name, where the signal catches it. Every signal whose default
// would end the program ends it the same way: the temporary files and the
// output folders it made, empty again, removed, the manager told why, and
// the status 128 + the signal's number.
TEST_F(FaultTest, InterruptedRenderRemovesItsTemporaryFilesAndExitsAsShellsExpect) {
    for (int frame = 1; frame <= 4; ++frame)
        WritePicture(Plate(frame), RandomPicture(1024, 768, {"R", "G", "B"}, static_cast<unsigned>(frame), 255),
                     OIIO::TypeDesc::UINT8);
    TakeSources();
    const ScratchDirectory messages;
    const std::vector<std::tuple<int, int, std::string>> signals = {
        {SIGINT, 130, "SIGINT"}, {SIGTERM, 143, "SIGTERM"}, {SIGHUP, 129, "SIGHUP"},
        {SIGUSR1, 138, "SIGUSR1"}, {SIGALRM, 142, "SIGALRM"}};
    for (const auto& [signal, status, name] : signals) {
        SCOPED_TRACE(name);
        const std::string folder = dir / "renders/out";
        ChildRender render({"render", "-q", "-i", dir / "plate.####.png", "-o", folder + "/out.####.png", "--frames",
                            "1", "--png-level", "9", "--depth", "16", "--progress-format", "openjd"},
                           messages / "out.txt");
        // Until a temporary file is there (or the render is over).
        for (int wait = 0; wait < 20000 && !HasTemporaryFile(folder); ++wait) usleep(1000);
        kill(render.Pid(), signal);
        EXPECT_EQ(render.Wait(), status);
        EXPECT_FALSE(HasTemporaryFile(folder));
        // Unless a frame was complete before the signal came, nothing is left.
        if (!fs::exists(dir / "renders/out/out.0001.png")) {
            EXPECT_FALSE(fs::exists(dir / "renders"));
        }
        const std::vector<std::string> told = LinesOf(Bytes(messages / "out.txt"));
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.back(), "openjd_fail: interrupted by " + name + "; temporary files removed");
        fs::remove_all(dir / "renders");
    }
    ExpectOnlyOutputs({});
}

// A render that writes nothing leaves no output folder of its own behind.
TEST_F(FaultTest, RenderThatWritesNothingLeavesNoOutputFolder) {
    WritePlates(3);
    TakeSources();
    const CliResult missing = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "new/sub/out.####.png",
                                          "--range", "7-9", "--frames", "1"});
    EXPECT_EQ(missing.status, 2) << missing.err;
    std::filesystem::remove(Plate(2));
    std::ofstream(Plate(2)) << "not a picture";
    TakeSources();
    const CliResult broken = RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "new/sub/out.####.png",
                                         "--frames", "3"});
    EXPECT_EQ(broken.status, 2) << broken.err;
    ExpectOnlyOutputs({});
    EXPECT_FALSE(fs::exists(dir / "new"));
}

// A render that stops on a broken frame while its decoders are still reading
// ahead ends cleanly: the decoders take turns of the render's cores until the
// plug-in lets go of the frame cache, so the cores must outlast the plug-in.
// The race is narrow; under the address sanitizer with
// detect_stack_use_after_return each run has an even chance of showing it.
TEST_F(FaultTest, RenderStoppedWhileDecodingAheadEndsCleanly) {
    WritePlates(3, 64, 48);
    std::filesystem::remove(Plate(2));
    std::ofstream(Plate(2)) << "not a picture";
    TakeSources();
    for (int run = 0; run < 6; ++run) {
        SCOPED_TRACE(run);
        const CliResult broken =
            RunTaviron({"render", "-q", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--frames", "3"});
        EXPECT_EQ(broken.status, 2) << broken.err;
    }
}

// A window that fits neither the budget nor the scratch folder is refused
// before any frame is written, its size said once: the frames it holds, what
// the budget keeps of them and what the others would take in the folder.
TEST_F(FaultTest, WindowTooLargeForTheScratchFolderIsRefusedSayingItsSizeOnce) {
    WritePlates(3, 64, 64);
    TakeSources();
    const ScratchDirectory room;
    const SmallFileSystem scratch(room / "scratch", "256k");
    if (!scratch.Mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << scratch.Reason();
    const CliResult result = Render({"--frames", "20", "--cache-mb", "0", "--scratch", room / "scratch"});
    ExpectFailure(result, 3, {"the window needs 42 frames decoded at once (", "--cache-mb hold 0 of them",
                              "the scratch folder " + room / "scratch" + " has "});
    // With nothing in memory, the others are the whole window: one size.
    const std::string message = ProblemLines(result).front();
    const size_t total = message.find("at once (") + 9;
    const std::string windowSize = message.substr(total, message.find(',', total) - total);
    EXPECT_NE(message.find("less than the " + windowSize + " the other 42 take"), std::string::npos) << message;
    ExpectOnlyOutputs({});
}

// The scratch folder stops taking frames during the render (here: no file
// may grow as large as a decoded frame, while the smaller outputs still fit).
// The first frames fit the memory budget; once the window outgrows it, a
// frame goes to the scratch folder and fails. The render stops there instead
// of decoding the rest of the range to fail frame after frame: status 3, the
// folder named, the frames not written listed, those before them complete.
TEST_F(FaultTest, ScratchFolderThatStopsTakingFramesStopsTheRender) {
    constexpr int kFrames = 40;
    for (int frame = 1; frame <= kFrames; ++frame)
        WritePicture(Plate(frame), RandomPicture(256, 256, {"R", "G", "B"}, static_cast<unsigned>(frame), 255),
                     OIIO::TypeDesc::UINT8);
    TakeSources();
    const ScratchDirectory scratch;
    // A decoded frame is 256 KB (RGBA, 8 bits); an output of noise about 200 KB.
    const CliResult result = RunTavironWithFileSizeLimit(
        240 * 1024, {"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--frames", "3",
                     "--cache-mb", "1.3", "--scratch", scratch.Path()});
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_NE(result.err.find("taviron: cannot write to the scratch folder " + scratch.Path() + ": File too large"),
              std::string::npos)
        << result.err;

    const std::string notWrittenLine = "taviron: frames not written: ";
    const size_t listed = result.err.find(notWrittenLine);
    ASSERT_NE(listed, std::string::npos) << result.err;
    const size_t listStart = listed + notWrittenLine.size();
    const std::set<int> notWritten =
        FramesOfRanges(result.err.substr(listStart, result.err.find('\n', listStart) - listStart));
    ASSERT_FALSE(notWritten.empty());
    // Every frame before the first one not written is there, none after it.
    std::vector<std::string> written;
    for (int frame = 1; frame < *notWritten.begin(); ++frame) written.push_back(fs::path(Out(frame)).filename());
    EXPECT_EQ(notWritten.size(), static_cast<size_t>(kFrames) - written.size()) << result.err;
    ExpectOnlyOutputs(written);
    EXPECT_TRUE(scratch.Files().empty());
    // Stopped: no more than the window and the next frame were read beyond the failure.
    const std::string readLine = " input frames read from disk";
    const size_t read = result.err.find(readLine);
    ASSERT_NE(read, std::string::npos) << result.err;
    const int framesRead = std::stoi(result.err.substr(result.err.rfind(' ', read - 1) + 1));
    EXPECT_LE(framesRead, *notWritten.begin() + 4) << result.err;
}

// This machine's short name, as the program puts it into temporary names.
std::string MachineName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    std::string machine(name);
    return machine.substr(0, machine.find('.'));
}

// A render killed outright leaves its temporary files; the next render of
// the same outputs removes those of this machine's processes that are gone,
// and no other: another farm node's process IDs say nothing here.
TEST_F(FaultTest, StaleTemporaryFilesOfDeadRendersAreRemovedByTheNextRender) {
    WritePlates(3);
    const std::string here = ".taviron-" + MachineName() + "-";
    const std::string dead = dir / (".out.0002.png" + here + "999999999.tmp");
    const std::string alive = dir / (".out.0002.png" + here + std::to_string(getpid()) + ".tmp");
    const std::string otherOutput = dir / (".other.0002.png" + here + "999999999.tmp");
    const std::string otherMachine = dir / ".out.0002.png.taviron-another-node-999999999.tmp";
    for (const std::string& path : {dead, alive, otherOutput, otherMachine}) std::ofstream(path) << "half a frame";
    TakeSources();
    sources.erase(fs::path(dead).filename().string());
    ASSERT_EQ(Render({"-q", "--frames", "1"}).status, 0);
    EXPECT_FALSE(fs::exists(dead));
    ExpectOnlyOutputs({"out.0001.png", "out.0002.png", "out.0003.png"});
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

// `\#` is a '#' of the file's own name, in sequences and single files alike.
TEST_F(FaultTest, HashInARealFileNameIsWrittenEscaped) {
    for (int frame = 1; frame <= 3; ++frame)
        WritePicture(FrameFile(dir.Path(), "take#2", frame, "png"),
                     RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    WritePicture(dir / "matte#.png", RandomPicture(4, 3, {"Y"}, 4, 255), OIIO::TypeDesc::UINT8);
    TakeSources();
    const CliResult result = RunTaviron({"render", "-q", "--frames", "1", "-i", dir / "take\\#2.####.png", "--mask",
                                         dir / "matte\\#.png", "-o", dir / "clean\\#2.%04d.png"});
    EXPECT_EQ(result.status, 0) << result.err;
    ExpectOnlyOutputs({"clean#2.0001.png", "clean#2.0002.png", "clean#2.0003.png"});
}

}  // namespace
