// The registration record that loading the module enters in the class
// registry, and its removal on unload.
#include "support/plugin_fixture.h"

#include <cstring>

namespace {

using Registration = TavironPlugin;

TEST_F(Registration, RecordHoldsItsThirteenEntriesInOrder) {
    const TagList& tags = Record()->Tags();
    const Tag expected[] = {REG_InitFunc, REG_CleanupFunc, REG_Version, REG_BuildStamp,
                            REG_BaseClass, REG_ScriptInfo, REG_CreateFunc, REG_PictureID,
                            REG_Name, REG_Category, REG_Symbol, REG_HelpText, REG_Flags};
    ASSERT_EQ(tags.Size(), std::size(expected));
    for (size_t i = 0; i < tags.Size(); ++i) {
        EXPECT_EQ(tags[i].tag, expected[i]) << "entry " << i + 1;
    }

    EXPECT_EQ(tags[0].pointer, reinterpret_cast<const void*>(&Operator::RegInit));
    EXPECT_EQ(tags[1].pointer, reinterpret_cast<const void*>(&Operator::RegCleanup));
    EXPECT_EQ(tags[2].integer, 3);
    EXPECT_EQ(tags[3].text, "Built: Sep 15 2009");
    EXPECT_EQ(tags[4].pointer, &ThreadedOperator::ClassID);
    EXPECT_NE(tags[5].pointer, nullptr);
    EXPECT_NE(tags[6].pointer, nullptr);
    EXPECT_EQ(tags[7].integer, 101);
    EXPECT_EQ(tags[8].text, "Taviron");
    EXPECT_EQ(tags[9].text, "Filter");
    EXPECT_EQ(tags[10].text, "S_1");
    EXPECT_EQ(tags[11].text, "Filter an image with diffrent algorithms.");
    EXPECT_EQ(tags[12].integer, 1);
}

TEST_F(Registration, RecordIsFoundByItsIdAndNamesTheTool) {
    Registry* record = Record();
    EXPECT_STREQ(record->ID().Text(), "Orlemby.Taviron");
    EXPECT_STREQ(record->Name(), "Taviron");
    EXPECT_STREQ(record->Category(), "Filter");
    EXPECT_STREQ(record->BuildStamp(), "Built: Sep 15 2009");

    size_t entered = 0;
    for (Registry* each : ClassRegistry->All()) {
        entered += each->ID() == record->ID() ? 1 : 0;
    }
    EXPECT_EQ(entered, 1u);
}

TEST_F(Registration, ScriptRecordCarriesVersionAndIdAndHandsObjectsThrough) {
    auto* script = static_cast<ScriptInfo*>(const_cast<void*>(Record()->Tags()[5].pointer));
    EXPECT_EQ(script->Version(), 1);
    EXPECT_STREQ(script->ID().Text(), "Orlemby.Taviron");
    int object = 0;
    EXPECT_EQ(script->ToScript(&object), &object);
    EXPECT_EQ(script->FromScript(&object), &object);
}

TEST_F(Registration, CreatedToolIsAThreadedOperatorOfThisRecord) {
    Operator* tool = CreateTool();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->Class(), Record());
    EXPECT_NE(dynamic_cast<ThreadedOperator*>(tool), nullptr);
}

TEST(ModuleLifetime, RecordIsEnteredOnLoadAndLeavesOnUnload) {
    ASSERT_EQ(FindTavironRecord(), nullptr);
    std::unique_ptr<Module> module = Module::Load(TavironModulePath());
    EXPECT_NE(FindTavironRecord(), nullptr);
    module.reset();
    EXPECT_EQ(FindTavironRecord(), nullptr);

    module = Module::Load(TavironModulePath());
    EXPECT_NE(FindTavironRecord(), nullptr) << "reloading enters the record again";
}

}  // namespace
