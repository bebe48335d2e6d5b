// Progress for farm managers: with --progress-format openjd a render tells
// its progress on standard output as Open Job Description messages, line by
// line while it runs, and names its failure before a non-zero exit.
#include "cli_run.h"
#include "sequence_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

extern char** environ;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

class ProgressFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int frame = 1; frame <= 4; ++frame)
            WritePicture(FrameFile(dir.Path(), "plate", frame, "png"),
                         RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    }

    CliResult Render(std::vector<std::string> more, const std::string& output = "out.####.png") {
        std::vector<std::string> arguments = {"render", "-i", dir / "plate.####.png", "-o", dir / output,
                                              "--progress-format", "openjd"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunTaviron(arguments);
    }

    // The last line of standard output is openjd_fail naming `named`, and
    // the status is not 0.
    static void ExpectFailTold(const CliResult& result, int status, const std::string& named) {
        EXPECT_EQ(result.status, status) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_FALSE(lines.empty()) << result.err;
        EXPECT_EQ(lines.back().rfind("openjd_fail: ", 0), 0u) << result.out;
        EXPECT_NE(lines.back().find(named), std::string::npos) << result.out;
    }

    ScratchDirectory dir;
};

TEST_F(ProgressFormatTest, EveryFrameIsToldAsPercentAndStatusAndTheEndAsFramesWritten) {
    const CliResult result = Render({"--range", "1-4", "--frames", "1"});
    ASSERT_EQ(result.status, 0) << result.err;
    // Frames are told as their files are complete, which writers working
    // side by side may finish in any order.
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 9u) << result.out;
    std::set<std::string> frames;
    for (size_t done = 1; done <= 4; ++done) {
        const std::string& status = lines[2 * done - 1];
        const std::string count = " (" + std::to_string(done) + " of 4)";
        ASSERT_EQ(status.rfind("openjd_status: frame ", 0), 0u) << result.out;
        ASSERT_EQ(status.substr(status.size() - count.size()), count) << result.out;
        frames.insert(status.substr(21, status.size() - count.size() - 21));
    }
    EXPECT_EQ(frames, (std::set<std::string>{"1", "2", "3", "4"})) << result.out;
    for (size_t done = 1; done <= 4; ++done) lines[2 * done - 1] = "";
    const std::vector<std::string> expected = {"openjd_progress: 25.0",  "", "openjd_progress: 50.0", "",
                                               "openjd_progress: 75.0",  "", "openjd_progress: 100.0", "",
                                               "openjd_status: 4 of 4 frames written"};
    EXPECT_EQ(lines, expected);
    // Standard error stays as it is without a terminal: the summary only.
    EXPECT_EQ(result.err.rfind("taviron: rendered 4 of 4 frames", 0), 0u) << result.err;

    const CliResult quiet = Render({"--range", "1-2", "--frames", "1", "-q"});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(Lines(quiet.out).back(), "openjd_status: 2 of 2 frames written");
    EXPECT_EQ(quiet.err, "");

    const CliResult text =
        RunTaviron({"render", "-i", dir / "plate.####.png", "-o", dir / "text.####.png", "--frames", "1"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "") << "the default format writes nothing on standard output";
}

TEST_F(ProgressFormatTest, EveryFailureIsToldBeforeTheExit) {
    ExpectFailTold(Render({"--frames", "300"}), 1, "--frames");
    ExpectFailTold(Render({"--method", "mean"}), 1, "mean");
    ExpectFailTold(Render({"--frames", "1"}, "plate.0001.png/out.####.png"), 3, "plate.0001.png");
    ExpectFailTold(RunTaviron({"render", "-i", dir / "none.####.png", "-o", dir / "out.####.png", "--frames", "1",
                               "--progress-format", "openjd"}),
                   2, "none.####.png");
    // A missing frame is skipped while the others render: the task still fails.
    const CliResult skipped = Render({"--range", "1-5", "--frames", "1"});
    ExpectFailTold(skipped, 2, "1 of 5 frames not written");
    EXPECT_NE(skipped.out.find("openjd_status: 4 of 5 frames written\n"), std::string::npos) << skipped.out;
}

// The program started with its standard output a pipe that the test reads
// as the program writes it, and its standard error in a file.
class PipedRender {
public:
    // With `closed`, nothing reads the pipe from the start. With an empty
    // `errorFile`, standard error is a pipe already full, so the program
    // stops at its first line there (the summary of a render that went well)
    // until it is killed.
    PipedRender(const std::vector<std::string>& arguments, const std::string& errorFile, bool closed = false) {
        int ends[2];
        if (pipe(ends) != 0) return;
        if (closed) {
            close(ends[0]);
            ends[0] = -1;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        if (!closed) posix_spawn_file_actions_addclose(&actions, ends[0]);
        if (errorFile.empty() && FullPipe()) {
            posix_spawn_file_actions_adddup2(&actions, fullErrors_[1], STDERR_FILENO);
            posix_spawn_file_actions_addclose(&actions, fullErrors_[0]);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0600);
        }
        std::vector<std::string> all = {TAVIRON_PROGRAM_PATH};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&child_, argv[0], &actions, nullptr, argv.data(), environ) != 0) child_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        reading_ = ends[0];
    }
    ~PipedRender() {
        CloseOutput();
        if (child_ > 0 && waitpid(child_, nullptr, WNOHANG) == 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        for (const int end : fullErrors_)
            if (end >= 0) close(end);
    }
    PipedRender(const PipedRender&) = delete;
    PipedRender& operator=(const PipedRender&) = delete;

    bool Started() const { return child_ > 0; }

    // The next line the program wrote, without its newline; empty at the end
    // of its output or after 60 seconds.
    std::optional<std::string> NextLine() {
        if (reading_ < 0) return std::nullopt;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (pending_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd readable{reading_, POLLIN, 0};
            if (poll(&readable, 1, 200) <= 0) continue;
            char buffer[256];
            const ssize_t count = read(reading_, buffer, sizeof buffer);
            if (count <= 0) break;
            pending_.append(buffer, static_cast<size_t>(count));
        }
        const size_t end = pending_.find('\n');
        if (end == std::string::npos) return std::nullopt;
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
    }

    // As `| head` does once it has its lines.
    void CloseOutput() {
        if (reading_ >= 0) close(reading_);
        reading_ = -1;
    }

    // Whether the program still runs, without waiting for it.
    bool Running() const {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(child_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }

    // The exit status, 128 + the signal for a program a signal ended.
    int Wait() {
        int status = 0;
        waitpid(child_, &status, 0);
        child_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    // A pipe filled to the last byte, its reading end kept open and unread.
    bool FullPipe() {
        if (pipe(fullErrors_) != 0) return false;
        const int flags = fcntl(fullErrors_[1], F_GETFL);
        fcntl(fullErrors_[1], F_SETFL, flags | O_NONBLOCK);
        const std::string block(4096, 'x');
        while (write(fullErrors_[1], block.data(), block.size()) > 0) {
        }
        while (write(fullErrors_[1], "x", 1) > 0) {
        }
        fcntl(fullErrors_[1], F_SETFL, flags);
        return true;
    }

    pid_t child_ = -1;
    int reading_ = -1;
    int fullErrors_[2] = {-1, -1};
    std::string pending_;
};

std::string Contents(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The manager reads the messages as the task runs: each line leaves at once,
// not when a buffer fills or the program ends, and a frame is told only once
// its file is complete under its own name, where the manager may take it.
// Large frames compressed hard stay a while under their temporary names.
TEST_F(ProgressFormatTest, FramesAreToldAsSoonAsTheirFilesAreCompleteAndNotBefore) {
    constexpr int kFrames = 6;
    for (int frame = 1; frame <= kFrames; ++frame)
        WritePicture(FrameFile(dir.Path(), "plate", frame, "png"),
                     RandomPicture(640, 480, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    PipedRender render({"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--range", "1-6",
                        "--frames", "1", "--depth", "16", "--png-level", "9", "--progress-format", "openjd"},
                       dir / "err.txt");
    ASSERT_TRUE(render.Started());
    int told = 0;
    while (const auto line = render.NextLine()) {
        if (line->rfind("openjd_status: frame ", 0) != 0) continue;
        const int frame = std::stoi(line->substr(std::string("openjd_status: frame ").size()));
        ++told;
        // Read while the render may still be writing the frames after it.
        const std::string path = FrameFile(dir.Path(), "out", frame, "png");
        ASSERT_TRUE(std::filesystem::exists(path)) << *line << " came before " << path << " was there";
        EXPECT_EQ(ReadPicture(path).width, 640) << path;
        if (told == 1) {
            EXPECT_TRUE(render.Running()) << "the first frame was told only at the end";
        }
    }
    EXPECT_EQ(render.Wait(), 0) << Contents(dir / "err.txt");
    EXPECT_EQ(told, kFrames);
}

// A manager (or `| head -3`) that stops reading: the render does not die by
// SIGPIPE halfway through a file; it names the closed output on standard
// error, stops, lists the frames it did not write and ends with an output
// error, leaving complete files only.
TEST_F(ProgressFormatTest, ClosedStandardOutputStopsTheRenderWithAnOutputError) {
    for (int frame = 5; frame <= 12; ++frame)
        WritePicture(FrameFile(dir.Path(), "plate", frame, "png"),
                     RandomPicture(4, 3, {"R", "G", "B"}, static_cast<unsigned>(frame), 255), OIIO::TypeDesc::UINT8);
    const std::string folder = dir / "renders";
    PipedRender render({"render", "-i", dir / "plate.####.png", "-o", folder + "/out.####.png", "--range", "1-12",
                        "--frames", "1", "--progress-format", "openjd"},
                       dir / "err.txt", true);
    ASSERT_TRUE(render.Started());
    EXPECT_EQ(render.Wait(), 3);
    const std::string errors = Contents(dir / "err.txt");
    EXPECT_NE(errors.find("taviron: cannot write to standard output: Broken pipe\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("taviron: frames not written: "), std::string::npos) << errors;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
        EXPECT_EQ(ReadPicture(entry.path().string()).width, 4) << entry.path();
    }
}

// A file name may hold a newline: it is shown escaped, so that no part of it
// reads as a message of its own.
TEST_F(ProgressFormatTest, ANewlineInAFileNameCannotForgeAMessage) {
    const std::string forged = dir / "x\nopenjd_progress: 100.0\ny.####.png";
    const CliResult result = RunTaviron({"render", "-i", forged, "-o", dir / "out.####.png", "--frames", "1",
                                         "--progress-format", "openjd"});
    EXPECT_EQ(result.status, 2) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 1u) << result.out;
    EXPECT_EQ(lines.front().rfind("openjd_fail: ", 0), 0u) << result.out;
    EXPECT_NE(lines.front().find("x\\nopenjd_progress: 100.0\\ny.####.png"), std::string::npos) << result.out;
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
}

// Each line leaves at once, not when a buffer fills or the program ends: the
// render is held at its summary, its first line on standard error, and every
// message must be there by then.
TEST_F(ProgressFormatTest, MessagesArriveWhileTheRenderStillRuns) {
    PipedRender render({"render", "-i", dir / "plate.####.png", "-o", dir / "out.####.png", "--range", "1-4",
                        "--frames", "1", "--progress-format", "openjd"},
                       "");
    ASSERT_TRUE(render.Started());
    std::vector<std::string> received;
    while (received.size() < 9)
        if (const auto line = render.NextLine()) received.push_back(*line);
        else break;
    EXPECT_TRUE(render.Running()) << "the render should wait to write its summary";
    ASSERT_EQ(received.size(), 9u);
    EXPECT_EQ(received.back(), "openjd_status: 4 of 4 frames written");
}

}  // namespace
