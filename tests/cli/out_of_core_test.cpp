// Windows of frames larger than the memory budget: frames kept in the
// scratch folder give the same files as frames kept in memory, the program's
// memory stays within the budget and a fixed overhead, and the scratch folder
// is left empty however the render ends.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/syscall.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::vector<char*> Argv(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

// The program started on its own, quiet, its standard output on `output`
// (or thrown away).
pid_t Start(std::vector<std::string> arguments, int output = -1) {
    arguments.insert(arguments.begin(), TAVIRON_PROGRAM_PATH);
    arguments.push_back("--quiet");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    else posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    std::vector<char*> argv = Argv(arguments);
    const int error = posix_spawn(&pid, TAVIRON_PROGRAM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// Exit status, or -1 when killed.
int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the child has not ended yet (it is left to be waited for).
bool Running(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

// How many files of `folder` (frames kept there) the process maps.
size_t FilesMappedIn(pid_t pid, const std::string& folder) {
    std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
    std::set<std::string> inodes;
    for (std::string line; std::getline(maps, line);) {
        if (line.find(" " + folder + "/") == std::string::npos) continue;
        std::istringstream fields(line);
        std::string range, permissions, offset, device, inode;
        fields >> range >> permissions >> offset >> device >> inode;
        inodes.insert(device + " " + inode);
    }
    return inodes.size();
}

// A line of /proc/PID/status in kilobytes, e.g. "RssAnon".
long StatusKilobytes(pid_t pid, const std::string& key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

// Whether a thread of the process is inside a write to its standard output.
bool WritingToStandardOutput(pid_t pid) {
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream syscall(task.path() / "syscall");
        std::string number, firstArgument;
        if (syscall >> number >> firstArgument && number == std::to_string(SYS_write) && firstArgument == "0x1")
            return true;
    }
    return false;
}

// A pipe that holds no more: whoever writes to it waits until it is read.
bool FillPipe(int writeEnd) {
    fcntl(writeEnd, F_SETPIPE_SZ, 4096);  // less to fill where the system allows it
    const int flags = fcntl(writeEnd, F_GETFL);
    if (fcntl(writeEnd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    const std::string filler(4096, '.');
    while (write(writeEnd, filler.data(), filler.size()) > 0) {}
    const bool full = errno == EAGAIN;
    return fcntl(writeEnd, F_SETFL, flags) == 0 && full;
}

// A render whose progress messages go to a pipe kept full: the first one
// stops it once the first output's window has been read (it reads the
// window before it tells of a frame), and it cannot end until the pipe is
// read. What it holds there is looked at with the program standing still,
// whatever the machine's speed or load.
class RenderStoppedAtFirstFrame {
public:
    explicit RenderStoppedAtFirstFrame(std::vector<std::string> arguments) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return;
        readEnd_ = ends[0];
        if (FillPipe(ends[1])) {
            arguments.insert(arguments.end(), {"--progress-format", "openjd"});
            pid_ = Start(arguments, ends[1]);
        }
        close(ends[1]);
        // A generous bound for a loaded machine; the render cannot pass this point.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (pid_ > 0 && !WritingToStandardOutput(pid_) && std::chrono::steady_clock::now() < deadline &&
               Running(pid_))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stopped_ = pid_ > 0 && WritingToStandardOutput(pid_);
    }
    ~RenderStoppedAtFirstFrame() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Finish();
        }
        if (readEnd_ >= 0) close(readEnd_);
    }
    RenderStoppedAtFirstFrame(const RenderStoppedAtFirstFrame&) = delete;
    RenderStoppedAtFirstFrame& operator=(const RenderStoppedAtFirstFrame&) = delete;

    bool Stopped() const { return stopped_; }
    pid_t Pid() const { return pid_; }
    // Lets the render go on to its end; its exit status, or -1 when killed.
    int Finish() {
        if (pid_ <= 0) return -1;
        char drained[4096];
        while (read(readEnd_, drained, sizeof drained) > 0) {}
        const int status = Wait(pid_);
        pid_ = -1;
        return status;
    }

private:
    int readEnd_ = -1;
    pid_t pid_ = -1;
    bool stopped_ = false;
};

// A smooth frame that differs from frame to frame, as floats in 0..1.
Picture SmoothPicture(int width, int height, int frame) {
    Picture picture{width, height, {"R", "G", "B", "A"}, {}};
    picture.samples.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c)
                picture.samples[(static_cast<size_t>(y) * width + x) * 4 + c] =
                    static_cast<float>((x * (c + 1) + y * 3 + frame * 7) % 256) / 255.0f;
    return picture;
}

class OutOfCore : public ::testing::Test {
protected:
    void WriteSmoothClip(int width, int height, int frames) {
        for (int frame = 1; frame <= frames; ++frame)
            WritePicture(FrameFile(dir.Path(), "plate", frame, "exr"), SmoothPicture(width, height, frame),
                         OIIO::TypeDesc::FLOAT);
    }
    std::vector<std::string> LongRender(const std::string& output) const {
        return {"render", "-i", dir / "plate.####.exr", "-o", dir / output, "--frames", "20", "--direction", "both",
                "--method", "median", "--cache-mb", "1", "--scratch", scratch.Path(), "--range", "21-24"};
    }

    // The long render of the clip in dir (frames of `frameKilobytes`
    // decoded), stopped at its first frame, against a 3-frame window held in
    // memory: the window is in the scratch folder, and memory holds less
    // than half of it beyond the 3-frame window's.
    void ExpectWindowOutOfMemory(long frameKilobytes) {
        RenderStoppedAtFirstFrame small({"render", "-i", dir / "plate.####.exr", "-o", dir / "small.####.exr",
                                         "--frames", "1", "--range", "21-24", "--threads", "2"});
        ASSERT_TRUE(small.Stopped()) << "the render was not seen stopped at its first frame";
        const long reference = StatusKilobytes(small.Pid(), "RssAnon");
        ASSERT_EQ(small.Finish(), 0);

        std::vector<std::string> arguments = LongRender("wide.####.exr");
        arguments.insert(arguments.end(), {"--threads", "2"});
        RenderStoppedAtFirstFrame wide(arguments);
        ASSERT_TRUE(wide.Stopped()) << "the render was not seen stopped at its first frame";
        const long held = StatusKilobytes(wide.Pid(), "RssAnon");
        EXPECT_GE(FilesMappedIn(wide.Pid(), scratch.Path()), 41u) << "the window is read from the scratch folder";
        ASSERT_EQ(wide.Finish(), 0);
        EXPECT_LT(held, reference + 41 * frameKilobytes / 2) << "3-frame window in memory: " << reference << " KB";
        EXPECT_TRUE(scratch.Files().empty());
    }

    ScratchDirectory dir;
    ScratchDirectory scratch;
};

TEST_F(OutOfCore, FramesInTheScratchFolderGiveTheSameFilesAsFramesInMemory) {
    struct Kind {
        std::string extension;
        OIIO::TypeDesc type;
        std::vector<std::string> channels;
    };
    const std::vector<Kind> kinds = {{"png", OIIO::TypeDesc::UINT8, {"R", "G", "B", "A"}},
                                     {"png", OIIO::TypeDesc::UINT16, {"R", "G", "B"}},
                                     {"exr", OIIO::TypeDesc::HALF, {"R", "G", "B", "A"}},
                                     {"exr", OIIO::TypeDesc::FLOAT, {"R", "G", "B", "A", "Z", "id"}}};
    const std::vector<std::string> methods = {"median", "average", "max", "min"};
    const std::vector<std::string> directions = {"backward", "both", "forward"};
    std::ofstream(dir / "track.csv") << "1,0.5,0.5\n2,0.55,0.45\n3,0.4,0.6\n4,0.5,0.52\n5,0.6,0.5\n6,0.45,0.5\n";
    int run = 0;
    for (size_t k = 0; k < kinds.size(); ++k) {
        const Kind& kind = kinds[k];
        const std::string name = "plate" + std::to_string(k);
        const int levels = kind.type == OIIO::TypeDesc::UINT8 ? 255 : kind.type == OIIO::TypeDesc::UINT16 ? 65535 : 0;
        for (int frame = 1; frame <= 6; ++frame)
            WritePicture(FrameFile(dir.Path(), name, frame, kind.extension),
                         RandomPicture(33, 17, kind.channels, 10u * k + frame, levels), kind.type);
        for (const std::string& direction : directions) {
            const std::string method = methods[run % methods.size()];
            // Every other run follows the track, so displaced rows are read from the scratch files too.
            std::vector<std::string> arguments = {"render", "-i", dir / (name + ".####." + kind.extension),
                                                  "--frames", "2", "--direction", direction, "--method", method};
            if (run % 2) arguments.insert(arguments.end(), {"--track", dir / "track.csv"});
            const std::string label = kind.extension + " " + kind.type.c_str() + " " + method + " " + direction;
            std::vector<std::string> inMemory = arguments;
            inMemory.insert(inMemory.end(), {"-o", dir / ("mem" + std::to_string(run) + ".####." + kind.extension)});
            std::vector<std::string> outOfCore = arguments;
            outOfCore.insert(outOfCore.end(), {"-o", dir / ("ooc" + std::to_string(run) + ".####." + kind.extension),
                                               "--cache-mb", "0", "--scratch", scratch.Path()});
            const CliResult memory = RunTaviron(inMemory);
            ASSERT_EQ(memory.status, 0) << label << ": " << memory.err;
            const CliResult scratched = RunTaviron(outOfCore);
            ASSERT_EQ(scratched.status, 0) << label << ": " << scratched.err;
            EXPECT_NE(scratched.err.find("6 frames kept in the scratch folder"), std::string::npos)
                << label << ": " << scratched.err;
            EXPECT_NE(scratched.err.find(" 6 input frames read from disk"), std::string::npos)
                << label << ": each frame is still decoded once: " << scratched.err;
            for (int frame = 1; frame <= 6; ++frame) {
                const Picture a = ReadPicture(FrameFile(dir.Path(), "mem" + std::to_string(run), frame, kind.extension));
                const Picture b = ReadPicture(FrameFile(dir.Path(), "ooc" + std::to_string(run), frame, kind.extension));
                ASSERT_EQ(a.channels, b.channels) << label;
                ASSERT_EQ(0, std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)))
                    << label << " frame " << frame;
            }
            ++run;
        }
    }
    EXPECT_TRUE(scratch.Files().empty());
}

// The number before `after` in `text`, e.g. the 12 of "12 frames kept", or -1.
long NumberBefore(const std::string& text, const std::string& after) {
    const size_t at = text.find(after);
    if (at == std::string::npos) return -1;
    size_t start = at;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
    return start == at ? -1 : std::stol(text.substr(start, at - start));
}

// Budgets that hold 2 and 5 of the 9 frames of the window (frames of
// 1 MiB decoded): the files are those of a render without a limit, each
// input frame is decoded once, the frames that leave the window make room
// for the ones after them, and the scratch folder's peak in the summary is
// what the window can have needed there at once.
TEST_F(OutOfCore, BudgetsOfAFewFramesGiveTheFilesOfAnUnboundedRender) {
    constexpr int kFrames = 30;
    constexpr double kFrameMegabytes = 256 * 256 * 4 * sizeof(float) / 1e6;
    WriteSmoothClip(256, 256, kFrames);
    const std::vector<std::string> render = {"render", "-i", dir / "plate.####.exr", "--frames", "4", "--direction",
                                             "both", "--method", "median", "--range", "5-26"};
    std::vector<std::string> unbounded = render;
    unbounded.insert(unbounded.end(), {"-o", dir / "all.####.exr"});
    const CliResult reference = RunTaviron(unbounded);
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_EQ(reference.err.find("scratch folder"), std::string::npos) << reference.err;
    for (const int budgetFrames : {2, 5}) {
        const std::string output = "budget" + std::to_string(budgetFrames);
        std::vector<std::string> bounded = render;
        bounded.insert(bounded.end(), {"-o", dir / (output + ".####.exr"), "--cache-mb",
                                       std::to_string(budgetFrames) + ".5", "--scratch", scratch.Path()});
        const CliResult result = RunTaviron(bounded);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(NumberBefore(result.err, " input frames read from disk"), kFrames) << result.err;
        // About `budgetFrames` of every 9 frames go through memory, the others to the scratch folder.
        const long kept = NumberBefore(result.err, " frames kept in the scratch folder");
        EXPECT_LE(kept, kFrames - kFrames * (budgetFrames - 1) / 10) << result.err;
        EXPECT_GE(kept, kFrames - kFrames * (budgetFrames + 1) / 9 - budgetFrames) << result.err;
        // At most the window and the frame decoded ahead at once, at least what the budget leaves out of the window.
        const long peak = NumberBefore(result.err, " MB at most");
        EXPECT_GE(peak, static_cast<long>((9 - budgetFrames) * kFrameMegabytes)) << result.err;
        EXPECT_LE(peak, static_cast<long>(10 * kFrameMegabytes + 1)) << result.err;
        for (int frame = 5; frame <= 26; ++frame) {
            const Picture a = ReadPicture(FrameFile(dir.Path(), "all", frame, "exr"));
            const Picture b = ReadPicture(FrameFile(dir.Path(), output, frame, "exr"));
            ASSERT_EQ(a.samples.size(), b.samples.size());
            ASSERT_EQ(0, std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)))
                << "frame " << frame << " with a budget of " << budgetFrames << " frames";
        }
    }
    EXPECT_TRUE(scratch.Files().empty());
}

// A window of 41 frames of 4 MB each through a budget of 1 MB: once the
// first output's window is read, every frame of it is in the scratch folder
// and the program's own memory is that of a 3-frame window held in memory,
// far from the 164 MB the window takes decoded. (How close it comes is a
// figure of bench/out-of-core.sh.)
TEST_F(OutOfCore, TheWindowLivesInTheScratchFolderNotInMemory) {
    WriteSmoothClip(512, 512, 44);
    ExpectWindowOutOfMemory(512 * 512 * 4 * sizeof(float) / 1024);
}

// Extra channels (an EXR's AOVs, 6 MB a frame here) go to the scratch folder
// with the planes: the 41-frame window's 250 MB of them stay out of memory.
TEST_F(OutOfCore, ExtraChannelsOfFramesInTheScratchFolderStayOutOfMemory) {
    const std::vector<std::string> channels = {"R", "G", "B", "A", "N.x", "N.y", "N.z", "P.x", "P.y", "P.z"};
    for (int frame = 1; frame <= 44; ++frame) {
        Picture picture = SmoothPicture(512, 512, frame);
        Picture withExtras{512, 512, channels, {}};
        for (size_t pixel = 0; pixel < picture.samples.size() / 4; ++pixel)
            for (size_t c = 0; c < channels.size(); ++c)
                withExtras.samples.push_back(c < 4 ? picture.samples[pixel * 4 + c]
                                                   : static_cast<float>((pixel * c + frame) % 97) / 96.0f);
        WritePicture(FrameFile(dir.Path(), "plate", frame, "exr"), withExtras, OIIO::TypeDesc::HALF);
    }
    ExpectWindowOutOfMemory(512 * 512 * (4 * 2 + 6 * sizeof(float)) / 1024);  // half planes, float extras
    const Picture written = ReadPicture(FrameFile(dir.Path(), "wide", 22, "exr"));
    const Picture source = ReadPicture(FrameFile(dir.Path(), "plate", 22, "exr"));
    ASSERT_EQ(written.channels, source.channels);
    for (size_t i = 4; i < source.samples.size(); i += channels.size())
        ASSERT_EQ(0, std::memcmp(&written.samples[i], &source.samples[i], 6 * sizeof(float))) << "pixel " << i / channels.size();
}

TEST_F(OutOfCore, TheScratchFolderIsLeftEmptyWhenARenderFailsOrIsKilled) {
    WriteSmoothClip(512, 512, 44);
    // A broken frame in the window ends the render with an input error.
    std::ofstream(FrameFile(dir.Path(), "plate", 30, "exr"), std::ios::trunc) << "not an image";
    std::vector<std::string> failing = LongRender("failed.####.exr");
    const CliResult failed = RunTaviron(failing);
    EXPECT_EQ(failed.status, 2) << failed.err;
    EXPECT_NE(failed.err.find("plate.0030.exr"), std::string::npos) << failed.err;
    EXPECT_TRUE(scratch.Files().empty());
    WriteSmoothClip(512, 512, 44);

    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        RenderStoppedAtFirstFrame render(LongRender("killed.####.exr"));
        ASSERT_TRUE(render.Stopped()) << "signal " << signal;
        EXPECT_GT(FilesMappedIn(render.Pid(), scratch.Path()), 0u) << "the render keeps frames in the scratch folder";
        kill(render.Pid(), signal);
        EXPECT_NE(render.Finish(), 0) << "signal " << signal;
        EXPECT_TRUE(scratch.Files().empty()) << "after signal " << signal;
    }
}

// The window needs more than the scratch folder has: refused at once, with
// the sizes in the message, and no output written.
TEST_F(OutOfCore, AWindowThatFitsNeitherMemoryNorTheScratchFolderIsRefusedUpFront) {
    struct statvfs status {};
    ASSERT_EQ(statvfs(scratch.Path().c_str(), &status), 0);
    const double freeBytes = static_cast<double>(status.f_bavail) * static_cast<double>(status.f_frsize);
    constexpr int kSide = 4096;
    const double windowBytes = 502.0 * kSide * kSide * 4 * sizeof(float);
    if (freeBytes >= windowBytes) GTEST_SKIP() << "the scratch folder has room for the window";
    Picture still{kSide, kSide, {"R", "G", "B", "A"}, std::vector<float>(static_cast<size_t>(kSide) * kSide * 4, 0.25f)};
    WritePicture(FrameFile(dir.Path(), "still", 1, "exr"), still, OIIO::TypeDesc::FLOAT);
    std::filesystem::create_hard_link(FrameFile(dir.Path(), "still", 1, "exr"), FrameFile(dir.Path(), "still", 2, "exr"));
    const CliResult result = RunTaviron({"render", "-i", dir / "still.####.exr", "-o", dir / "out.####.exr", "--range",
                                         "1-2", "--frames", "250", "--cache-mb", "1", "--scratch", scratch.Path()});
    EXPECT_EQ(result.status, 3) << result.err;
    EXPECT_NE(result.err.find("the window needs 502 frames decoded at once"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("the scratch folder " + scratch.Path() + " has"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(FrameFile(dir.Path(), "out", 1, "exr")));
    EXPECT_TRUE(scratch.Files().empty());
}

}  // namespace
