// The frames the command line plans to read (decoded ahead, and kept safe
// from being overwritten by an output) against the frames the tool itself
// fetches through its input, for Frames and Sample Direction values of every
// kind: fractions, NaN, negatives, directions without a button and values far
// beyond the controls' ranges. A frame the tool reads that the plan misses is
// a source file an output may overwrite.
#include "commands/frames_read.h"
#include "errors.h"
#include "hosting/control_values.h"
#include "hosting/plugin_session.h"

#include <contract/tool_ids.h>
#include <hostsdk/image.h>
#include <hostsdk/request.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

namespace taviron::cli {
namespace {

namespace link_id = taviron::link_id;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const double kFramesValues[] = {kNaN, -kInf, -3e9, -2.5, -1.0, -0.7, 0.0, 0.4, 1.0, 2.9999999, 3.0,
                                250.0, 250.5, 251.0, 1000.9999, 3e9, kInf, 1e300};
const double kDirectionValues[] = {kNaN, -kInf, -1.0, -0.5, 0.0, 0.9999999, 1.0, 1.5,
                                   2.0, 2.9999999, 3.0, 7.0, 1e10, kInf};

// More frames than this per request are not run: the command line must
// refuse such values before it plans anything.
constexpr int64_t kLargestWindowRun = 5000;

// An image at every time, recording the times asked for.
class RecordingClip : public Source {
public:
    Parameter* Fetch(double time) override {
        times.insert(time);
        return new Image(2, 1);
    }
    std::set<double> times;
};

class WindowAgreement : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<PluginSession>(TAVIRON_PLUGIN_PATH);
        clip_ = std::make_shared<RecordingClip>();
        session_->InputWithID(link_id::kInput).Connect(clip_);
    }
    void TearDown() override { session_->InputWithID(link_id::kInput).Connect(nullptr); }

    // The values as a composition may hold them, unchecked.
    void SetWindowValues(double frames, double direction) {
        session_->InputWithID(link_id::kFrames).SetValue(frames);
        session_->InputWithID(link_id::kSampleDirection).SetValue(direction);
    }

    // The whole frames the tool fetched its input at, for one request.
    std::set<int> FetchedByTheTool(int frame) {
        clip_->times.clear();
        Request request(&session_->Tool(), frame);
        session_->Tool().Process(&request);
        if (Parameter* output = request.TakeOutputData(&session_->OutputWithID(link_id::kOutput))) output->Recycle();
        std::set<int> frames;
        for (double time : clip_->times) {
            EXPECT_EQ(std::floor(time), time) << "the tool asked for a time between frames";
            // The command line's sources give nothing beyond the frame numbers.
            if (time >= INT_MIN && time <= INT_MAX) frames.insert(static_cast<int>(time));
        }
        return frames;
    }

    static std::set<int> Planned(int frame, taviron::WindowOffsets read) {
        const FrameSpan span = InputFramesOf(frame, read);
        std::set<int> frames;
        for (int64_t k = span.first; k <= span.last; ++k) frames.insert(static_cast<int>(k));
        return frames;
    }

    bool ControlCheckRefuses(const char* id, double value) {
        try {
            CheckControlValue(session_->InputWithID(id), value, std::string("--set ") + id, "the value");
        } catch (const CliError& error) {
            return error.Status() == ExitStatus::Usage;
        }
        return false;
    }

    std::unique_ptr<PluginSession> session_;
    std::shared_ptr<RecordingClip> clip_;
};

std::string Case(double frames, double direction, int frame) {
    std::ostringstream text;
    text.precision(17);
    text << "Frames " << frames << ", Sample Direction " << direction << ", frame " << frame;
    return text.str();
}

TEST_F(WindowAgreement, ThePlanReadsAndProtectsExactlyTheFramesTheToolFetches) {
    for (double framesValue : kFramesValues) {
        for (double directionValue : kDirectionValues) {
            SetWindowValues(framesValue, directionValue);
            const taviron::WindowOffsets read = ReadOffsetsOf(*session_);
            if (read.last - read.first + 1 > kLargestWindowRun) {
                EXPECT_TRUE(ControlCheckRefuses(link_id::kFrames, framesValue)) << Case(framesValue, directionValue, 0);
                continue;
            }
            // Near the ends of the frame numbers the window reaches beyond them.
            for (int frame : {1000, 0, -7, INT_MAX - 2, INT_MIN + 3}) {
                const std::set<int> fetched = FetchedByTheTool(frame);
                EXPECT_EQ(Planned(frame, read), fetched) << Case(framesValue, directionValue, frame);
                EXPECT_EQ(InputFramesRead({frame}, read), fetched) << Case(framesValue, directionValue, frame);
            }
        }
    }
}

TEST_F(WindowAgreement, TheFramesProtectedForARangeAreThoseItsRequestsFetch) {
    const std::vector<int> range = {1001, 1002, 1003, 1010};
    for (double directionValue : {0.0, 1.0, 2.0, 5.0}) {
        SetWindowValues(3.9999999, directionValue);
        std::set<int> fetched;
        for (int frame : range) {
            const std::set<int> one = FetchedByTheTool(frame);
            fetched.insert(one.begin(), one.end());
        }
        EXPECT_EQ(InputFramesRead(range, ReadOffsetsOf(*session_)), fetched) << directionValue;
    }
}

// Values whose window is too wide to run (or that are no numbers) never
// reach the plan: the control check that --frames and --set go through
// refuses them, and every value it lets through has a window of the range.
TEST_F(WindowAgreement, TheControlCheckRefusesValuesBeyondTheSliderBeforePlanning) {
    for (double framesValue : {3e9, -3e9, 1e300, kInf, -kInf, kNaN, 251.0, 250.5, -1.0, 2.9999999})
        EXPECT_TRUE(ControlCheckRefuses(link_id::kFrames, framesValue)) << framesValue;
    for (double directionValue : {kNaN, kInf, -1.0, 3.0, 1e10, 0.9999999})
        EXPECT_TRUE(ControlCheckRefuses(link_id::kSampleDirection, directionValue)) << directionValue;
    for (double framesValue : kFramesValues) {
        if (ControlCheckRefuses(link_id::kFrames, framesValue)) continue;
        for (double directionValue : kDirectionValues) {
            if (ControlCheckRefuses(link_id::kSampleDirection, directionValue)) continue;
            SetWindowValues(framesValue, directionValue);
            const taviron::WindowOffsets read = ReadOffsetsOf(*session_);
            EXPECT_LE(read.last - read.first, 2 * 250) << Case(framesValue, directionValue, 0);
        }
    }
}

}  // namespace
}  // namespace taviron::cli
