#include <hostsdk/parameter.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

// Releasing a destroyed object is exactly the fault being caught; keep the
// sanitizers from reporting the call itself (the host never reads the object).
#if defined(__GNUC__)
__attribute__((no_sanitize("address", "undefined")))
#endif
void ReleaseStale(Object* stale) {
    stale->Recycle();
}

}  // namespace

TEST(Object, LivesUntilItsLastReferenceIsReleased) {
    const size_t before = _Object::LiveCount();
    Number* number = new Number(2.0);
    EXPECT_EQ(_Object::LiveCount(), before + 1);
    EXPECT_TRUE(_Object::IsLive(number));
    EXPECT_EQ(number->RefCount(), 1);

    number->Use();
    EXPECT_EQ(number->RefCount(), 2);
    number->Recycle();
    EXPECT_TRUE(_Object::IsLive(number));

    number->Recycle();
    EXPECT_FALSE(_Object::IsLive(number));
    EXPECT_EQ(_Object::LiveCount(), before);
}

TEST(Object, ReleaseOfADestroyedObjectIsCaughtAndCounted) {
    Number* number = new Number(1.0);
    number->Recycle();
    const size_t overReleases = Object::OverReleaseCount();
    const size_t live = _Object::LiveCount();

    testing::internal::CaptureStderr();
    ReleaseStale(number);
    const std::string report = testing::internal::GetCapturedStderr();

    EXPECT_EQ(Object::OverReleaseCount(), overReleases + 1);
    EXPECT_EQ(_Object::LiveCount(), live);
    EXPECT_NE(report.find("no longer alive"), std::string::npos);
}

TEST(Object, ReferencesTakenAndDroppedOnManyThreadsDestroyItOnce) {
    const size_t before = _Object::LiveCount();
    const size_t overReleases = Object::OverReleaseCount();
    Point* point = new Point(0.5, 0.5);
    constexpr int threads = 4;
    constexpr int referencesEach = 1000;
    for (int i = 0; i < threads * referencesEach; ++i) {
        point->Use();
    }
    std::vector<std::thread> releasers;
    for (int t = 0; t < threads; ++t) {
        releasers.emplace_back([point] {
            for (int i = 0; i < referencesEach; ++i) {
                point->Recycle();
            }
        });
    }
    for (std::thread& releaser : releasers) {
        releaser.join();
    }
    EXPECT_EQ(point->RefCount(), 1);
    point->Recycle();
    EXPECT_EQ(_Object::LiveCount(), before);
    EXPECT_EQ(Object::OverReleaseCount(), overReleases);
}

TEST(Parameter, NumbersAndPointsNameTheirDataTypes) {
    Number number(0.5);
    Point point(0.25, 0.75);
    EXPECT_STREQ(number.DataType().Text(), "Number");
    EXPECT_STREQ(point.DataType().Text(), "Point");
}
