// The holder of host object references: each reference it takes is given
// back exactly once, copies take their own, and a reference handed out is
// no longer its to give back.
#include <hostsdk/host_ref.h>

#include <gtest/gtest.h>

namespace {

// Counts references as the host's objects do.
struct Counted {
    int references = 1;
    void Use() { ++references; }
    void Recycle() { --references; }
};

using taviron::HostRef;

TEST(HostRef, GivesBackWhatItTookOnceWhenItGoes) {
    Counted object;
    {
        HostRef<Counted> held(&object);
        EXPECT_EQ(object.references, 1);
        HostRef<Counted> moved(std::move(held));
        EXPECT_EQ(held, nullptr);
        EXPECT_EQ(object.references, 1);
    }
    EXPECT_EQ(object.references, 0);
}

TEST(HostRef, CopiesAndNewReferencesTakeTheirOwn) {
    Counted object;
    {
        HostRef<Counted> held(&object);
        const HostRef<Counted> copy = held;
        EXPECT_EQ(object.references, 2);
        Counted* handed = held.NewReference();
        EXPECT_EQ(handed, &object);
        EXPECT_EQ(object.references, 3);
        held = copy;  // the same object: one reference given back, one taken
        EXPECT_EQ(object.references, 3);
    }
    EXPECT_EQ(object.references, 1);  // the one handed out
}

TEST(HostRef, ResetGivesBackTheOldAndReleaseHandsItOver) {
    Counted first;
    Counted second;
    HostRef<Counted> held(&first);
    held.reset(&second);
    EXPECT_EQ(first.references, 0);
    EXPECT_EQ(second.references, 1);
    EXPECT_EQ(held.release(), &second);
    EXPECT_FALSE(held);
    held.reset();
    EXPECT_EQ(second.references, 1);
    EXPECT_EQ(HostRef<Counted>().NewReference(), nullptr);
}

}  // namespace
