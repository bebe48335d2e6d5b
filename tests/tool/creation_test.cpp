// Creating tools when memory runs out: the failure reaches the caller and no
// object of the half-built tool stays alive.
#include "support/failing_allocator.h"
#include "support/plugin_fixture.h"

#include <new>

namespace {

using Creation = TavironPlugin;

// Starving the module's allocations needs them to resolve to this program's
// replacement of operator new, which only ELF symbol lookup gives.
#if defined(_WIN32)
#  define SKIP_WITHOUT_SHARED_ALLOCATOR() GTEST_SKIP() << "the module has an allocator of its own"
#else
#  define SKIP_WITHOUT_SHARED_ALLOCATOR() (void)0
#endif

TEST_F(Creation, NoMemoryForTheToolThrowsWithNothingBuilt) {
    SKIP_WITHOUT_SHARED_ALLOCATOR();
    const size_t live = _Object::LiveCount();
    FailAllocationAfter(0);
    EXPECT_THROW(Record()->Create(ScriptVal{}, TagList{}), std::bad_alloc);
    StopFailingAllocations();
    EXPECT_EQ(_Object::LiveCount(), live);
}

TEST_F(Creation, FailureAtAnyStepOfConstructionLeavesNoObjectAlive) {
    SKIP_WITHOUT_SHARED_ALLOCATOR();
    long failedCreations = 0;
    for (long successes = 0; successes < 100000; ++successes) {
        const size_t live = _Object::LiveCount();
        Operator* tool = nullptr;
        FailAllocationAfter(successes);
        try {
            tool = Record()->Create(ScriptVal{}, TagList{});
        } catch (const std::bad_alloc&) {
            ++failedCreations;
        }
        const bool failed = AllocationFailed();
        StopFailingAllocations();
        if (!failed) {
            ASSERT_NE(tool, nullptr);
            EXPECT_EQ(tool->Inputs().size(), 13u);
            tool->Recycle();
            break;
        }
        ASSERT_EQ(tool, nullptr) << "a tool was made although allocation " << successes << " failed";
        ASSERT_EQ(_Object::LiveCount(), live) << "objects left after allocation " << successes
                                              << " failed";
    }
    // Fourteen links at least one allocation each: every one was a step.
    EXPECT_GT(failedCreations, 14);
}

TEST_F(Creation, DestroyingAToolFreesItsObjects) {
    const size_t live = _Object::LiveCount();
    Operator* tool = Record()->Create(ScriptVal{}, TagList{});
    ASSERT_NE(tool, nullptr);
    EXPECT_GE(_Object::LiveCount(), live + 15) << "the tool and its fourteen links";
    tool->Recycle();
    EXPECT_EQ(_Object::LiveCount(), live);
}

}  // namespace
