// The rows' scratch storage: each set is lent to one row at a time and comes
// back for the next, rows on several threads share one pool, and running out
// of memory while a row's buffers grow writes nothing of that row and leaves
// the pool fit for the rows after it.
#include "support/failing_allocator.h"
#include "support/filter_scene.h"

#include <gtest/gtest.h>

#include <new>
#include <thread>
#include <vector>

namespace {

using taviron::RowScratch;
using taviron::ScratchPool;

TEST(ScratchPool, LendsEachSetToOneRowAtATimeAndTakesItBack) {
    ScratchPool pool;
    const RowScratch* first = nullptr;
    const RowScratch* second = nullptr;
    {
        const ScratchPool::Lease a = pool.Borrow();
        const ScratchPool::Lease b = pool.Borrow();
        first = &a.Scratch();
        second = &b.Scratch();
        EXPECT_NE(first, second);
    }
    const ScratchPool::Lease again = pool.Borrow();
    const ScratchPool::Lease other = pool.Borrow();
    EXPECT_NE(&again.Scratch(), &other.Scratch());
    for (const RowScratch* lent : {&again.Scratch(), &other.Scratch()}) {
        EXPECT_TRUE(lent == first || lent == second) << "a new set while two stood free";
    }
}

const float kUnwritten = FromBits(0x7fbadbadu);

ImageRef Patterned(int32_t width, int32_t height, PixelType type, int seed) {
    ImageRef image(new Image(width, height, type));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const float v = static_cast<float>((x * 7 + y * 13 + seed * 29) % 31) / 8.0f - 1.0f;
            image->SetPixel(x, y, Pixel(v, -v, v * 0.5f, v + 0.25f, static_cast<float>(seed)));
        }
    }
    return image;
}

// Frames of every pixel type, some of another size, tracked, under a mask
// that leaves some pixels alone: rows that read in place, convert and gather,
// and so use every buffer.
FilterScene MixedScene(int32_t width, int32_t height, int frameCount) {
    static const PixelType types[] = {PixelType::Float, PixelType::UInt8, PixelType::UInt16, PixelType::Half};
    FilterScene scene;
    scene.source = Patterned(width, height, PixelType::Float, 0);
    scene.mask = Patterned(width, height, PixelType::Half, 1);
    scene.currentPoint.reset(new Point(0.5, 0.5));
    for (int j = 0; j < frameCount; ++j) {
        const bool otherSize = j % 3 == 2;
        scene.frames.push_back(Patterned(otherSize ? width + 7 : width, otherSize ? height - 1 : height,
                                         types[j % 4], j + 2));
        scene.framePoints.emplace_back(j % 5 == 4 ? nullptr : new Point(0.5 + 0.01 * j, 0.5 - 0.02 * j));
    }
    return scene;
}

taviron::RowControls Tracked(taviron::FilterMethod method) {
    taviron::RowControls controls;
    for (bool& on : controls.channelOn) {
        on = true;
    }
    controls.useTracking = true;
    controls.method = method;
    return controls;
}

ImageRef UnwrittenOutput(const FilterScene& scene) {
    return MakeFilledImage(scene.source->Width(), scene.source->Height(),
                           Pixel(kUnwritten, kUnwritten, kUnwritten, kUnwritten, kUnwritten));
}

// The first column of row y that differs from the literal reference, or -1.
int32_t FirstWrongColumn(const FilterScene& scene, const Image& output, taviron::FilterMethod method, int32_t y) {
    reference::Controls controls;
    controls.useTracking = true;
    controls.method = static_cast<int32_t>(method);
    const reference::Scene plain = ReferenceScene(scene);
    for (int32_t x = 0; x < output.Width(); ++x) {
        FltPixel got;
        output.GetPixel(x, y, got);
        if (!SameBits(got, reference::FilterPixel(plain, controls, x, y))) {
            return x;
        }
    }
    return -1;
}

TEST(FilterRowScratch, RowsOnSeveralThreadsShareOnePool) {
    constexpr int kThreads = 4;
    const FilterScene scene = MixedScene(150, 24, 11);
    for (taviron::FilterMethod method :
         {taviron::FilterMethod::Median, taviron::FilterMethod::Average, taviron::FilterMethod::Max}) {
        const ImageRef output = UnwrittenOutput(scene);
        ScratchPool pool;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] { FilterRows(scene, *output, Tracked(method), pool, t, kThreads); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (int32_t y = 0; y < output->Height(); ++y) {
            EXPECT_EQ(FirstWrongColumn(scene, *output, method, y), -1)
                << "method " << static_cast<int>(method) << ", row " << y;
        }
    }
}

// Every allocation of a row fails in turn, the pool kept from one attempt to
// the next: a row that fails writes no pixel, and the pool then filters every
// row exactly. Only this thread's allocations fail.
TEST(FilterRowScratch, RunningOutOfMemoryWritesNothingOfTheRow) {
    constexpr int32_t kRow = 1;
    const FilterScene scene = MixedScene(90, 3, 40);
    const taviron::RowControls controls = Tracked(taviron::FilterMethod::Median);
    const FltPixel unwritten = Pixel(kUnwritten, kUnwritten, kUnwritten, kUnwritten, kUnwritten);
    ScratchPool pool;
    int failures = 0;
    for (long successes = 0; successes < 1000; ++successes) {
        const ImageRef output = UnwrittenOutput(scene);
        bool thrown = false;
        FailAllocationAfter(successes);
        try {
            FilterRows(scene, *output, controls, pool, kRow, output->Height());
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        StopFailingAllocations();
        if (!thrown) {
            break;
        }
        ++failures;
        for (int32_t x = 0; x < output->Width(); ++x) {
            FltPixel pixel;
            output->GetPixel(x, kRow, pixel);
            ASSERT_TRUE(SameBits(pixel, unwritten)) << "column " << x << " after " << successes << " allocations";
        }
    }
    EXPECT_GT(failures, 3);
    const ImageRef output = UnwrittenOutput(scene);
    FilterRows(scene, *output, controls, pool);
    for (int32_t y = 0; y < output->Height(); ++y) {
        EXPECT_EQ(FirstWrongColumn(scene, *output, controls.method, y), -1) << "row " << y;
    }
}

}  // namespace
