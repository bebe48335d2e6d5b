// The About button through the system's own MessageBoxA. Without a display
// Wine dismisses the box at once, so the test sees the whole path: the box,
// then the base NotifyChanged.
#include "beside_program.h"

#include <contract/tool_ids.h>
#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>

#include <gtest/gtest.h>

namespace {

TEST(WindowsAboutBox, PressingAboutShowsTheBoxAndReachesTheBase) {
    auto module = Module::Load(BesideProgram("taviron.dll"));
    Registry* record = ClassRegistry->Find(HostID(taviron::kToolClassID, true));
    ASSERT_NE(record, nullptr);
    Operator* tool = record->Create(ScriptVal{}, TagList{});
    ASSERT_NE(tool, nullptr);
    Input* about = tool->FindInput(HostID(taviron::link_id::kAbout, true));
    ASSERT_NE(about, nullptr);

    const uint64_t before = tool->LastChange();
    tool->SetInputValue(about, 1.0, 0.0);
    EXPECT_GT(tool->LastChange(), before);

    tool->Recycle();
}

}  // namespace
