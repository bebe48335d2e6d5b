#include <hostsdk/hostsdk.h>
#include <hostsdk/message_box.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// What the registration hooks and the creation function of the records
// below saw.
struct HookLog {
    std::vector<std::string> calls;
    bool acceptEntry = true;
};
HookLog hookLog;

bool LoggingInit(Registry* reg) {
    hookLog.calls.push_back(std::string("init ") + reg->ID().Text());
    return hookLog.acceptEntry;
}

void LoggingCleanup(Registry* reg) {
    hookLog.calls.push_back(std::string("cleanup ") + reg->ID().Text());
}

Operator* CreatePlain(Registry* reg, const ScriptVal& script, const TagList& tags) {
    return new Operator(reg, script, tags);
}

Operator* CreateFailing(Registry*, const ScriptVal&, const TagList&) {
    throw std::runtime_error("no instance today");
}

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { hookLog = HookLog(); }

    RegistryList records;
    RegistryList* list = &records;
};

}  // namespace

TEST_F(RegistryTest, RecordsEnterWhenBuiltAndLeaveWhenDestroyed) {
    {
        Registry first(&list, HostID("Test.First"), REG_InitFunc, LoggingInit, REG_CleanupFunc, LoggingCleanup,
                       REG_Name, "First", REG_Category, "Filter", TAG_DONE);
        Registry second(&list, HostID("Test.Second"), REG_HelpText, "Helps.", TAG_DONE);

        EXPECT_EQ(records.Find(HostID("Test.First")), &first);
        EXPECT_EQ(records.Find(HostID("Test.Second")), &second);
        EXPECT_EQ(records.Find(HostID("Test.Third")), nullptr);
        EXPECT_EQ(records.All(), (std::vector<Registry*>{&first, &second}));
        EXPECT_STREQ(first.Name(), "First");
        EXPECT_STREQ(first.Category(), "Filter");
        EXPECT_STREQ(second.HelpText(), "Helps.");
        EXPECT_STREQ(second.BuildStamp(), "");
        EXPECT_EQ(hookLog.calls, std::vector<std::string>{"init Test.First"});
    }
    EXPECT_TRUE(records.All().empty());
    EXPECT_EQ(hookLog.calls, (std::vector<std::string>{"init Test.First", "cleanup Test.First"}));
}

TEST_F(RegistryTest, RecordRefusedByItsInitialisationStaysOut) {
    hookLog.acceptEntry = false;
    {
        Registry refused(&list, HostID("Test.Refused"), REG_InitFunc, LoggingInit, REG_CleanupFunc,
                         LoggingCleanup, TAG_DONE);
        EXPECT_EQ(records.Find(HostID("Test.Refused")), nullptr);
    }
    EXPECT_EQ(hookLog.calls, std::vector<std::string>{"init Test.Refused"});
}

TEST_F(RegistryTest, CreatesInstancesThroughTheCreationFunction) {
    Registry plain(&list, HostID("Test.Plain"), REG_CreateFunc, CreatePlain, TAG_DONE);
    Operator* made = plain.Create(ScriptVal{}, TagList());
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Class(), &plain);
    made->Recycle();

    Registry none(&list, HostID("Test.None"), TAG_DONE);
    EXPECT_EQ(none.Create(ScriptVal{}, TagList()), nullptr);

    Registry failing(&list, HostID("Test.Failing"), REG_CreateFunc, CreateFailing, TAG_DONE);
    EXPECT_THROW(failing.Create(ScriptVal{}, TagList()), std::runtime_error);
}

TEST_F(RegistryTest, RecordWithoutPictureHasNone) {
    Registry noPicture(&list, HostID("Test.NoPicture"), TAG_DONE);
    EXPECT_EQ(noPicture.Picture().data, nullptr);
    Registry missingPicture(&list, HostID("Test.MissingPicture"), REG_PictureID, 4242, TAG_DONE);
    EXPECT_EQ(missingPicture.Picture().data, nullptr);
    EXPECT_EQ(missingPicture.Picture().size, 0u);
}

TEST(ClassRegistry, IsTheHostsListAndTakesRecords) {
    ASSERT_NE(ClassRegistry, nullptr);
    {
        Registry record(&ClassRegistry, HostID("Test.InHost"), TAG_DONE);
        EXPECT_EQ(ClassRegistry->Find(HostID("Test.InHost")), &record);
    }
    EXPECT_EQ(ClassRegistry->Find(HostID("Test.InHost")), nullptr);
    EXPECT_STREQ(ThreadedOperator::ClassID.Text(), "ThreadedOperator");
}

TEST(ScriptInfo, KeepsVersionAndID) {
    ScriptInfoT<Operator> info(1, "Test.Scripted", "", "");
    EXPECT_EQ(info.Version(), 1);
    EXPECT_EQ(info.ID(), HostID("Test.Scripted"));
    int object = 0;
    EXPECT_EQ(info.ToScript(&object), &object);
}

#if !defined(_WIN32)
TEST(MessageBox, GoesToTheHandlerSet) {
    std::string shown;
    unsigned shownStyle = 99;
    MessageBoxHandler previous = SetMessageBoxHandler([&](const char* text, const char* caption, unsigned style) {
        shown = std::string(caption) + ": " + text;
        shownStyle = style;
        return 1;
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Hello", "About", MB_OK), 1);
    EXPECT_EQ(shown, "About: Hello");
    EXPECT_EQ(shownStyle, MB_OK);

    MessageBoxHandler ours = SetMessageBoxHandler(previous);
    EXPECT_TRUE(static_cast<bool>(ours));
    SetMessageBoxHandler(nullptr);
    EXPECT_EQ(MessageBoxA(nullptr, "Nobody sees this", "About", MB_OK), 0);
    SetMessageBoxHandler(previous);
}
#endif
