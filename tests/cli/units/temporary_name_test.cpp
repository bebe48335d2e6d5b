#include "io/writing/temporary_name.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace taviron::cli {

// Farm nodes share output folders: the name must say which machine and
// which of its processes is writing, whatever the machine is called.
TEST(TemporaryName, CarriesTheMachineAndProcessAndReadsBack) {
    const std::string path = TemporaryNameBeside("renders/out.0007.exr", 4242);
    EXPECT_EQ(path, "renders/.out.0007.exr.taviron-" + ThisMachineName() + "-4242.tmp");
    const auto parsed = ParseTemporaryName(path.substr(path.find('/') + 1));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->outputName, "out.0007.exr");
    EXPECT_EQ(parsed->machine, ThisMachineName());
    EXPECT_EQ(parsed->process, 4242);
}

TEST(TemporaryName, MachineNamesWithDashesAndOtherNamesAreTold) {
    const auto dashed = ParseTemporaryName(".a-b.exr.taviron-render-node-07-31337.tmp");
    ASSERT_TRUE(dashed);
    EXPECT_EQ(dashed->outputName, "a-b.exr");
    EXPECT_EQ(dashed->machine, "render-node-07");
    EXPECT_EQ(dashed->process, 31337);
    for (const char* other : {"out.0001.exr", ".out.0001.exr.taviron-31337.tmp", ".out.exr.taviron-node-.tmp",
                              ".out.exr.taviron-node-12x.tmp", ".out.exr.taviron-node-1234567890.tmp",
                              ".out.exr.taviron-node-12.tmpx"})
        EXPECT_FALSE(ParseTemporaryName(other)) << other;
    EXPECT_EQ(ThisMachineName().find_first_not_of(
                  "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-"),
              std::string::npos);
}

}  // namespace taviron::cli
