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
    const std::vector<std::string> expected = {
        "openjd_progress: 25.0",  "openjd_status: frame 1 (1 of 4)", "openjd_progress: 50.0",
        "openjd_status: frame 2 (2 of 4)", "openjd_progress: 75.0",  "openjd_status: frame 3 (3 of 4)",
        "openjd_progress: 100.0", "openjd_status: frame 4 (4 of 4)", "openjd_status: 4 of 4 frames written"};
    EXPECT_EQ(Lines(result.out), expected);
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

// The manager reads the messages as the task runs: each line leaves at once,
// not when a buffer fills or the program ends. Frame 4 is a pipe nobody
// writes to, so the render waits at frame 3, whose window reaches it, until
// it is killed; the lines of frames 1 and 2 have to have arrived by then.
TEST_F(ProgressFormatTest, MessagesArriveWhileTheRenderStillRuns) {
    const std::string blocked = FrameFile(dir.Path(), "plate", 4, "png");
    std::filesystem::remove(blocked);
    ASSERT_EQ(mkfifo(blocked.c_str(), 0600), 0);

    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::vector<std::string> arguments = {TAVIRON_PROGRAM_PATH, "render", "-i", dir / "plate.####.png", "-o",
                                                dir / "out.####.png", "--range", "1-4", "--frames", "1",
                                                "--progress-format", "openjd"};
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);

    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (received.find("openjd_status: frame 2 (2 of 4)\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd readable{pipe_ends[0], POLLIN, 0};
        if (poll(&readable, 1, 200) <= 0) continue;
        char buffer[256];
        const ssize_t count = read(pipe_ends[0], buffer, sizeof buffer);
        if (count <= 0) break;
        received.append(buffer, static_cast<size_t>(count));
    }
    int status = 0;
    const bool stillRunning = waitpid(child, &status, WNOHANG) == 0;
    kill(child, SIGKILL);
    if (stillRunning) waitpid(child, &status, 0);
    close(pipe_ends[0]);

    EXPECT_TRUE(stillRunning) << "the render should wait for frame 4";
    EXPECT_EQ(received,
              "openjd_progress: 25.0\nopenjd_status: frame 1 (1 of 4)\nopenjd_progress: 50.0\n"
              "openjd_status: frame 2 (2 of 4)\n");
}

}  // namespace
