// Whole requests through the plug-in module as the host runs them: the frame
// window (offsets, fetch order), pass-through, missing images, masks, the
// controls the rows read, and that every request gives back exactly what it
// fetched or made, also when memory runs out on the way.
#include "support/memory_sources.h"
#include "support/test_images.h"

#include "support/failing_allocator.h"
#include "support/plugin_fixture.h"
#include "taviron.h"

#include <contract/tool_ids.h>
#include <gtest/gtest.h>
#include <hostsdk/input_read_observer.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace {

constexpr int32_t kWidth = 8;
constexpr int32_t kHeight = 6;
constexpr double kTime = 10.0;

using ParameterRef = taviron::HostRef<Parameter>;

class ProcessRequest : public TavironPlugin {
protected:
    void SetUp() override {
        TavironPlugin::SetUp();
        tool_ = static_cast<Taviron*>(CreateTool());
        ASSERT_NE(tool_, nullptr);
        log_ = std::make_shared<FetchLog>();
        clip_ = std::make_shared<MemorySource>("image", log_);
        track_ = std::make_shared<MemorySource>("point", log_);
        tool_->InImage->Connect(clip_);
        tool_->InTrackData->Connect(track_);
        for (int frame = 0; frame <= 20; ++frame) {
            SetFrame(frame, static_cast<float>(frame));
        }
    }
    void TearDown() override {
        SetImageMemoryLimit(0);
        TavironPlugin::TearDown();
    }

    // The frame at `time`: every colour channel `value`, depth 0.5.
    void SetFrame(double time, float value) {
        clip_->Set(time, MakeFilledImage(kWidth, kHeight, Pixel(value, value, value, value, 0.5f)).release());
    }
    void ConnectMask(const FltPixel& fill) {
        mask_ = std::make_shared<MemorySource>("mask", log_);
        mask_->SetDefault(MakeFilledImage(kWidth, kHeight, fill).release());
        tool_->InMask->Connect(mask_);
    }
    void SetFrames(double frames, double direction) {
        tool_->InFrames->SetValue(frames);
        tool_->InSampleDirection->SetValue(direction);
    }

    // Runs one request and gives its output (the request's reference), after
    // checking that it was set, that nothing but the output was left alive,
    // nothing released twice and the tool's working state cleared.
    ParameterRef Run(double time = kTime) {
        Request request(tool_, time);
        log_->clear();
        const size_t live = _Object::LiveCount();
        const size_t overReleases = Object::OverReleaseCount();
        tool_->Process(&request);
        EXPECT_TRUE(request.HasOutputData(tool_->OutImage));
        ParameterRef output(request.TakeOutputData(tool_->OutImage));
        const bool made = output != nullptr && output->RefCount() == 1;
        EXPECT_EQ(_Object::LiveCount(), live + (made ? 1 : 0));
        EXPECT_EQ(Object::OverReleaseCount(), overReleases);
        ExpectWorkingStateCleared(request);
        return output;
    }
    void ExpectWorkingStateCleared(const Request& request) {
        EXPECT_EQ(tool_->SourceImg, nullptr);
        EXPECT_EQ(tool_->OutImg, nullptr);
        EXPECT_EQ(tool_->MaskImg, nullptr);
        EXPECT_EQ(request.OperatorData(), nullptr);
    }

    static FltPixel PixelOf(const ParameterRef& output, int32_t x = 0, int32_t y = 0) {
        FltPixel pixel;
        static_cast<const Image&>(*output).GetPixel(x, y, pixel);
        return pixel;
    }

    // The fetches the window made, after those of the request time.
    FetchLog WindowFetches() const {
        const size_t ownFetches = mask_ ? 3 : 2;
        return FetchLog(log_->begin() + static_cast<std::ptrdiff_t>(std::min(ownFetches, log_->size())),
                        log_->end());
    }
    static FetchLog Expected(std::initializer_list<double> times) {
        FetchLog log;
        for (double time : times) {
            log.push_back({"image", time});
            log.push_back({"point", time});
        }
        return log;
    }

    Taviron* tool_ = nullptr;
    std::shared_ptr<FetchLog> log_;
    std::shared_ptr<MemorySource> clip_;
    std::shared_ptr<MemorySource> track_;
    std::shared_ptr<MemorySource> mask_;
};

TEST_F(ProcessRequest, FetchesTheRequestTimeThenTheWindowImageBeforePoint) {
    ConnectMask(Pixel(1, 1, 1, 1));
    SetFrames(3, 1);
    Run();
    const FetchLog own = {{"image", 10}, {"point", 10}, {"mask", 10}};
    ASSERT_GE(log_->size(), own.size());
    EXPECT_EQ(FetchLog(log_->begin(), log_->begin() + 3), own);
    EXPECT_EQ(WindowFetches(), Expected({7, 8, 9, 10, 11, 12, 13}));
}

TEST_F(ProcessRequest, WindowOffsetsFollowTheDirection) {
    SetFrames(3, 0);
    Run();
    EXPECT_EQ(WindowFetches(), Expected({7, 8, 9, 10}));
    SetFrames(3, 2);
    Run();
    EXPECT_EQ(WindowFetches(), Expected({10, 11, 12, 13}));
    for (double direction : {3.0, -1.0}) {
        SetFrames(3, direction);
        Run();
        EXPECT_EQ(WindowFetches(), Expected({10})) << direction;
    }
}

TEST_F(ProcessRequest, ControlValuesTruncateTowardZero) {
    SetFrames(2.9, 1.9);
    Run();
    EXPECT_EQ(WindowFetches(), Expected({8, 9, 10, 11, 12}));
    SetFrames(1, 2.5);
    Run();
    EXPECT_EQ(WindowFetches(), Expected({10, 11}));
}

TEST_F(ProcessRequest, FractionalTimesOffsetByWholeFrames) {
    clip_->SetDefault(MakeImage(kWidth, kHeight).release());
    SetFrames(1, 1);
    Run(10.5);
    EXPECT_EQ(WindowFetches(), Expected({9.5, 10.5, 11.5}));
}

TEST_F(ProcessRequest, NoFramesPassesTheSourceItselfThrough) {
    for (double frames : {0.0, -0.7}) {
        for (double direction : {0.0, 1.0, 2.0, 5.0}) {
            SetFrames(frames, direction);
            const ParameterRef output = Run();
            Parameter* source = clip_->Fetch(kTime);
            EXPECT_EQ(output.get(), source) << frames << ", " << direction;
            source->Recycle();
            EXPECT_EQ(log_->size(), 3u) << "the window was gathered";
        }
    }
}

TEST_F(ProcessRequest, NoInputImageGivesNoOutput) {
    clip_->Set(kTime, nullptr);
    for (double frames : {0.0, 3.0}) {
        SetFrames(frames, 1);
        EXPECT_EQ(Run(), nullptr);
        EXPECT_EQ(WindowFetches(), FetchLog()) << frames;
    }
}

TEST_F(ProcessRequest, MissingWindowFramesAreLeftOut) {
    clip_->Set(kTime + 2, nullptr);
    track_->SetDefault(new Point(0.5, 0.5));
    SetFrames(2, 2);
    tool_->InFilterMethod->SetValue(1);  // average of the frames there are
    const FltPixel out = PixelOf(Run());
    EXPECT_EQ(WindowFetches(), Expected({10, 11, 12}));
    EXPECT_TRUE(SameBits(out, Pixel(10.5f, 10.5f, 10.5f, 10.5f, 0.5f))) << Describe(out);
}

TEST_F(ProcessRequest, EmptyWindowKeepsTheSource) {
    for (double direction : {0.0, 1.0, 2.0}) {
        SetFrames(-2, direction);
        const ParameterRef output = Run();
        EXPECT_EQ(WindowFetches(), FetchLog()) << direction;
        ASSERT_NE(output, nullptr);
        EXPECT_TRUE(SameBits(PixelOf(output, 7, 5), Pixel(10, 10, 10, 10, 0.5f)));
    }
    SetFrames(-2, 7);
    Run();
    EXPECT_EQ(WindowFetches(), Expected({10}));
}

TEST_F(ProcessRequest, RowsReadEachControlFromItsOwnInput) {
    SetFrames(2, 0);  // frames 8, 9, 10
    tool_->InFilterMethod->SetValue(3.0);  // Min
    tool_->InGreen->SetValue(0.999);
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(8, 10, 8, 8, 0.5f)));
    tool_->InGreen->SetValue(1.0);
    tool_->InRed->SetValue(0.0);
    tool_->InFilterMethod->SetValue(2.7);  // Max
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(10, 10, 10, 10, 0.5f)));
    tool_->InFilterMethod->SetValue(1.0);  // Average
    tool_->InBlue->SetValue(2.0);
    tool_->InAlpha->SetValue(0.0);
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(10, 9, 10, 10, 0.5f)));
    tool_->InThreshold->SetValue(1.5);
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(10, 10, 10, 10, 0.5f)));
}

TEST_F(ProcessRequest, TrackingFollowsThePointsOfEachFrame) {
    clip_->SetDefault(nullptr);
    for (double time : {9.0, 10.0}) {
        ImageRef frame = MakeImage(kWidth, kHeight);
        for (int32_t x = 0; x < kWidth; ++x) {
            for (int32_t y = 0; y < kHeight; ++y) {
                frame->SetPixel(x, y, Pixel(0, 0, static_cast<float>(x), 0));
            }
        }
        clip_->Set(time, frame.release());
    }
    track_->Set(9.0, new Point(1.0 / kWidth, 0.5));
    track_->Set(10.0, new Point(2.0 / kWidth, 0.5));
    SetFrames(1, 0);
    tool_->InFilterMethod->SetValue(2);  // Max: frame 9 is sampled one column on
    tool_->InUseData->SetValue(1.0);
    const ParameterRef output = Run();
    EXPECT_EQ(PixelOf(output, 3, 2).R, 4.0f);
    EXPECT_EQ(PixelOf(output, kWidth - 1, 2).R, kWidth - 1.0f);
    tool_->InUseData->SetValue(0.5);
    EXPECT_EQ(PixelOf(Run(), 3, 2).R, 3.0f);
}

TEST_F(ProcessRequest, MaskAlphaZeroLeavesTheSource) {
    ConnectMask(Pixel(1, 1, 1, 0));
    SetFrames(1, 2);
    tool_->InFilterMethod->SetValue(2);
    EXPECT_EQ(PixelOf(Run()).R, 10.0f);
    ConnectMask(Pixel(0, 0, 0, 1e-30f));
    EXPECT_EQ(PixelOf(Run()).R, 11.0f);
}

TEST_F(ProcessRequest, OneFrameWindowGivesTheSourcePixelsUnderEveryMethod) {
    SetFrames(4, 3);  // a direction without a button: offset 0 alone
    for (double method : {0, 1, 2, 3, 4}) {
        tool_->InFilterMethod->SetValue(method);
        const ParameterRef output = Run();
        EXPECT_EQ(WindowFetches(), Expected({10}));
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                EXPECT_TRUE(SameBits(PixelOf(output, x, y), Pixel(10, 10, 10, 10, 0.5f))) << method;
            }
        }
    }
}

// A frame without pixels has nothing to sample: it is left out of the window
// as a missing frame is, and its point given back at once. A mask without
// pixels masks nothing.
TEST_F(ProcessRequest, FramesAndMasksWithoutPixelsAreLeftOut) {
    clip_->Set(11.0, MakeImage(0, kHeight).release());
    clip_->Set(9.0, MakeImage(kWidth, 0).release());
    track_->SetDefault(new Point(0.5, 0.5));
    SetFrames(1, 1);
    tool_->InFilterMethod->SetValue(1);  // Average: a left-out frame would count
    ConnectMask(Pixel(0, 0, 0, 0));
    mask_->SetDefault(MakeImage(0, 0).release());
    EXPECT_TRUE(SameBits(PixelOf(Run(), 3, 4), Pixel(10, 10, 10, 10, 0.5f)));
    SetFrame(9.0, 4.0f);
    EXPECT_TRUE(SameBits(PixelOf(Run(), 3, 4), Pixel(7, 7, 7, 7, 0.5f)));
}

std::vector<const Object*> releases;

// What a request releases when it ends, in order: each window entry's image
// then its point, first to last, then the source, the mask and the current
// point. The output goes to the request instead.
TEST_F(ProcessRequest, ReleasesTheWindowFirstToLastThenSourceMaskAndPoint) {
    std::map<double, const Object*> images;
    std::map<double, const Object*> points;
    for (double time : {9.0, 10.0, 11.0}) {
        ImageRef image = MakeFilledImage(kWidth, kHeight, Pixel(1, 1, 1, 1));
        images[time] = image.get();
        clip_->Set(time, image.release());
        Point* point = new Point(0.5, time / 100);
        points[time] = point;
        track_->Set(time, point);
    }
    ConnectMask(Pixel(1, 1, 1, 1));
    Parameter* mask = mask_->Fetch(kTime);
    mask->Recycle();
    SetFrames(1, 1);

    Request request(tool_, kTime);
    releases.clear();
    SetRecycleObserver([](const Object* object) { releases.push_back(object); });
    tool_->Process(&request);
    SetRecycleObserver(nullptr);
    const ParameterRef output(request.TakeOutputData(tool_->OutImage));

    const std::vector<const Object*> expected = {images[9], points[9], images[10], points[10], images[11],
                                                 points[11], images[10], mask, points[10]};
    EXPECT_EQ(releases, expected);
    EXPECT_EQ(std::count(releases.begin(), releases.end(), output.get()), 0);
}

std::mutex readsMutex;
std::vector<const Input*> reads;

// The window's two controls are read first, Frames before Sample Direction,
// on the request's own thread before anything is fetched; on the
// pass-through too.
TEST_F(ProcessRequest, ReadsFramesThenSampleDirectionFirst) {
    for (double frames : {2.0, 0.0}) {
        SetFrames(frames, 1);
        Request request(tool_, kTime);
        reads.clear();
        SetInputReadObserver([](const Request*, const Input* input) {
            const std::lock_guard<std::mutex> lock(readsMutex);
            reads.push_back(input);
        });
        tool_->Process(&request);
        SetInputReadObserver(nullptr);
        const ParameterRef output(request.TakeOutputData(tool_->OutImage));
        ASSERT_GE(reads.size(), 2u) << frames;
        EXPECT_EQ(reads[0], tool_->InFrames) << frames;
        EXPECT_EQ(reads[1], tool_->InSampleDirection) << frames;
    }
}

// Each checkbox, found as the host finds it (by its link's ID), governs its
// own channel: with only that channel off, only that channel keeps the
// source under Min.
TEST_F(ProcessRequest, EachChannelCheckboxGovernsItsOwnChannel) {
    SetFrames(2, 0);  // frames 8, 9, 10
    tool_->InFilterMethod->SetValue(3.0);  // Min
    const std::pair<const char*, FltPixel> channels[] = {
        {taviron::link_id::kRed, Pixel(8, 8, 10, 8, 0.5f)},
        {taviron::link_id::kGreen, Pixel(8, 10, 8, 8, 0.5f)},
        {taviron::link_id::kBlue, Pixel(10, 8, 8, 8, 0.5f)},
        {taviron::link_id::kAlpha, Pixel(8, 8, 8, 10, 0.5f)},
    };
    for (const auto& [id, expected] : channels) {
        Input* checkbox = tool_->FindInput(HostID(id));
        ASSERT_NE(checkbox, nullptr) << id;
        checkbox->SetValue(0.0);
        const FltPixel out = PixelOf(Run());
        EXPECT_TRUE(SameBits(out, expected)) << id << ": " << Describe(out);
        checkbox->SetValue(1.0);
    }
}

// The method value is rounded to single precision before it is truncated;
// the threshold stays a double: a bound a hair above the filtered change of
// 2 restores the source, although as a float it would equal the change.
TEST_F(ProcessRequest, MethodRoundsToFloatAndThresholdStaysDouble) {
    SetFrames(2, 0);  // frames 8, 9, 10
    tool_->InFilterMethod->SetValue(2.99999999);  // 3.0f: Min, not Max
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(8, 8, 8, 8, 0.5f)));
    tool_->InThreshold->SetValue(std::nextafter(2.0, 3.0));
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(10, 10, 10, 10, 0.5f)));
    tool_->InThreshold->SetValue(2.0);  // not strictly greater: the filtered value stands
    EXPECT_TRUE(SameBits(PixelOf(Run()), Pixel(8, 8, 8, 8, 0.5f)));
}

// The pass-through still fetches the mask, and gives back the made output,
// the mask and the current point, in that order; the source goes to the
// request.
TEST_F(ProcessRequest, PassThroughReleasesOutputMaskAndPointInOrder) {
    Point* point = new Point(0.5, 0.5);
    track_->Set(kTime, point);
    ConnectMask(Pixel(1, 1, 1, 1));
    Parameter* mask = mask_->Fetch(kTime);
    mask->Recycle();
    Parameter* source = clip_->Fetch(kTime);
    source->Recycle();
    SetFrames(0, 1);

    Request request(tool_, kTime);
    log_->clear();
    releases.clear();
    SetRecycleObserver([](const Object* object) { releases.push_back(object); });
    tool_->Process(&request);
    SetRecycleObserver(nullptr);
    const ParameterRef output(request.TakeOutputData(tool_->OutImage));

    EXPECT_EQ(output.get(), source);
    EXPECT_EQ(*log_, (FetchLog{{"image", kTime}, {"point", kTime}, {"mask", kTime}}));
    ASSERT_EQ(releases.size(), 3u);
    EXPECT_NE(releases[0], source);  // the image made for the output
    EXPECT_NE(releases[0], mask);
    EXPECT_EQ(releases[1], mask);
    EXPECT_EQ(releases[2], point);
}

// A window offset without an image gives its point back as soon as it is
// fetched, before the rows run and the window is released.
TEST_F(ProcessRequest, PointOfAnOffsetWithoutImageIsReleasedAtOnce) {
    std::map<double, const Object*> points;
    for (double time : {10.0, 11.0, 12.0}) {
        Point* point = new Point(0.5, time / 100);
        points[time] = point;
        track_->Set(time, point);
    }
    clip_->Set(kTime + 2, nullptr);
    SetFrames(2, 2);  // offsets 0, 1 and 2, the last without an image

    Request request(tool_, kTime);
    releases.clear();
    SetRecycleObserver([](const Object* object) { releases.push_back(object); });
    tool_->Process(&request);
    SetRecycleObserver(nullptr);
    const ParameterRef output(request.TakeOutputData(tool_->OutImage));

    ASSERT_FALSE(releases.empty());
    EXPECT_EQ(releases.front(), points[12]);
    EXPECT_EQ(std::count(releases.begin(), releases.end(), points[12]), 1);
    EXPECT_EQ(std::count(releases.begin(), releases.end(), points[10]), 2);  // window entry and current point
}

TEST_F(ProcessRequest, WithoutMemoryForTheOutputThereIsNoOutput) {
    SetFrames(1, 2);
    SetImageMemoryLimit(ImageMemoryInUse());
    EXPECT_EQ(Run(), nullptr);
}

TEST_F(ProcessRequest, WithoutMemoryForTheMadeMaskEveryPixelIsFiltered) {
    SetFrames(1, 2);
    tool_->InFilterMethod->SetValue(2);
    // Room for the output but not for the all-ones mask.
    SetImageMemoryLimit(ImageMemoryInUse() + static_cast<size_t>(kWidth) * kHeight * CHANNEL_COUNT * sizeof(float));
    const ParameterRef output = Run();
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(PixelOf(output, 5, 5).R, 11.0f);
}

TEST_F(ProcessRequest, ManyWorkersFillEveryRow) {
    const unsigned workers = WorkerThreadCount();
    SetWorkerThreadCount(4);
    SetFrames(2, 1);
    const ParameterRef output = Run();
    SetWorkerThreadCount(workers);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            EXPECT_TRUE(SameBits(PixelOf(output, x, y), Pixel(10, 10, 10, 10, 0.5f))) << x << ", " << y;
        }
    }
}

// Every allocation of a request, in turn, fails: whatever was fetched or made
// is given back once, and the tool is ready for the next request.
TEST_F(ProcessRequest, ExhaustedMemoryAnywhereReleasesEverything) {
#if defined(_WIN32)
    GTEST_SKIP() << "the module's allocations do not reach the program's operator new here";
#else
    const unsigned workers = WorkerThreadCount();
    SetWorkerThreadCount(1);  // every row on this thread, where failures are armed
    track_->SetDefault(new Point(0.5, 0.5));
    SetFrames(3, 1);
    int failures = 0;
    int failuresInRows = 0;  // thrown after the whole window was gathered
    for (long successes = 0; successes < 100000; ++successes) {
        Request request(tool_, kTime);
        log_->clear();
        const size_t live = _Object::LiveCount();
        const size_t overReleases = Object::OverReleaseCount();
        bool thrown = false;
        FailAllocationAfter(successes);
        try {
            tool_->Process(&request);
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        StopFailingAllocations();
        const bool failed = AllocationFailed();
        ParameterRef output(request.TakeOutputData(tool_->OutImage));
        EXPECT_EQ(_Object::LiveCount(), live + (output ? 1 : 0)) << successes;
        EXPECT_EQ(Object::OverReleaseCount(), overReleases) << successes;
        ExpectWorkingStateCleared(request);
        failures += thrown ? 1 : 0;
        failuresInRows += thrown && log_->size() == 2 + Expected({7, 8, 9, 10, 11, 12, 13}).size() ? 1 : 0;
        if (!failed) {
            break;
        }
    }
    SetWorkerThreadCount(workers);
    EXPECT_GT(failures, 10);
    EXPECT_GT(failuresInRows, 0);
    ASSERT_NE(Run(), nullptr);
#endif
}

}  // namespace
