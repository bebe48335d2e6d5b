// The write queue: frames written on threads of their own, and a failed write
// that stops the queue while other frames wait in it or are being written
// (run under the thread sanitizer too).
#include "errors.h"
#include "io/writing/write_queue.h"

#include <hostsdk/host_ref.h>
#include <hostsdk/image.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace taviron::cli {
namespace {

constexpr int kSide = 8;

class WriteQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("taviron-write-queue-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string PathOf(int frame) const { return (dir / ("frame." + std::to_string(frame) + ".png")).string(); }

    // A frame whose file cannot be made: its folder does not exist.
    std::string UnwritablePathOf(int frame) const {
        return (dir / "missing" / ("frame." + std::to_string(frame) + ".png")).string();
    }

    std::unique_ptr<PendingFrameFile> FrameFile(const std::string& path) const {
        const HostRef<Image> image(new Image(kSide, kSide));
        return std::make_unique<PendingFrameFile>(path, *image, EightBitFormat(kSide, kSide, 3), nullptr,
                                                  OIIO::TypeDesc::UINT8);
    }

    fs::path dir;
};

TEST_F(WriteQueueTest, EveryFrameIsWrittenByTheWriters) {
    WriteQueue queue(3, 2);
    for (int frame = 0; frame < 12; ++frame) {
        ASSERT_TRUE(queue.WaitForRoom());
        queue.Push(frame, FrameFile(PathOf(frame)));
    }
    EXPECT_TRUE(queue.Finish().empty());
    EXPECT_EQ(queue.Written().size(), 12u);
    for (int frame = 0; frame < 12; ++frame) EXPECT_TRUE(fs::exists(PathOf(frame))) << frame;
}

// What the render relies on: the failure is told once with its frame, the
// queue takes no more frames, and every frame told as written has its file.
TEST_F(WriteQueueTest, WriterFailingWhileOthersQueueStopsTheQueue) {
    constexpr int kFailing = 5;
    WriteQueue queue(4, 3);
    int pushed = 0;
    for (int frame = 0; frame < 40 && queue.WaitForRoom(); ++frame, ++pushed)
        queue.Push(frame, FrameFile(frame == kFailing ? UnwritablePathOf(frame) : PathOf(frame)));
    const std::vector<WriteQueue::Failure> failures = queue.Finish();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].frame, kFailing);
    try {
        std::rethrow_exception(failures[0].error);
    } catch (const CliError& error) {
        EXPECT_EQ(error.Status(), ExitStatus::Output);
        EXPECT_NE(std::string(error.what()).find(UnwritablePathOf(kFailing)), std::string::npos) << error.what();
    }
    EXPECT_FALSE(queue.WaitForRoom());
    EXPECT_GT(pushed, kFailing);
    EXPECT_FALSE(queue.Written().count(kFailing));
    for (int frame = 0; frame < pushed; ++frame)
        EXPECT_EQ(fs::exists(PathOf(frame)), queue.Written().count(frame) == 1) << frame;
}

TEST_F(WriteQueueTest, FrameOfferedAfterAFailureIsDropped) {
    WriteQueue queue(1, 1);
    queue.Push(0, FrameFile(UnwritablePathOf(0)));
    ASSERT_EQ(queue.Finish().size(), 1u);
    queue.Push(1, FrameFile(PathOf(1)));
    EXPECT_EQ(queue.Finish().size(), 1u);
    EXPECT_FALSE(fs::exists(PathOf(1)));
    EXPECT_TRUE(queue.Written().empty());
}

// Writers share the cores with the decoders: no file is written while every
// core's turn is taken.
TEST_F(WriteQueueTest, WritersWaitForATurnOfTheCores) {
    CoreShare cores(1);
    std::optional<CoreShare::Turn> decoding(cores.Take());
    WriteQueue queue(2, 2, &cores);
    queue.Push(0, FrameFile(PathOf(0)));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(PathOf(0)));
    decoding.reset();
    EXPECT_TRUE(queue.Finish().empty());
    EXPECT_TRUE(fs::exists(PathOf(0)));
}

TEST_F(WriteQueueTest, GoesWithFramesStillQueued) {
    {
        WriteQueue queue(2, 4);
        for (int frame = 0; frame < 4; ++frame) queue.Push(frame, FrameFile(PathOf(frame)));
    }
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().extension(), ".png") << "no temporary file is left: " << entry.path();
}

}  // namespace
}  // namespace taviron::cli
