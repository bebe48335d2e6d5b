// Loading taviron.dll as the host does: LoadLibrary runs its static objects,
// which enter the tool; FreeLibrary takes it out again. The module offers
// nothing else: its export directory is empty.
#include "beside_program.h"
#include "pe_export_directory.h"

#include <contract/tool_ids.h>
#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const char* const TavironDll = "taviron.dll";

Registry* TavironRecord() {
    return ClassRegistry->Find(HostID(taviron::kToolClassID, true));
}

TEST(WindowsModule, LoadLibraryEntersTheToolAndFreeLibraryTakesItOut) {
    ASSERT_EQ(TavironRecord(), nullptr) << "entered before the module was loaded";
    ASSERT_EQ(GetModuleHandleA(TavironDll), nullptr);

    auto module = Module::Load(BesideProgram(TavironDll));
    EXPECT_EQ(module->Handle(), GetModuleHandleA(TavironDll));
    Registry* record = TavironRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record->Name(), "Taviron");
    EXPECT_STREQ(record->Category(), "Filter");

    module.reset();
    EXPECT_EQ(GetModuleHandleA(TavironDll), nullptr) << "FreeLibrary left the module mapped";
    EXPECT_EQ(TavironRecord(), nullptr) << "unloading left the record in the registry";
}

TEST(WindowsModule, LoadingAgainEntersTheToolAgain) {
    for (int round = 0; round < 2; ++round) {
        auto module = Module::Load(BesideProgram(TavironDll));
        ASSERT_NE(TavironRecord(), nullptr) << "round " << round;
        Operator* tool = TavironRecord()->Create(ScriptVal{}, TagList{});
        ASSERT_NE(tool, nullptr);
        tool->Recycle();
    }
    EXPECT_EQ(TavironRecord(), nullptr);
}

TEST(WindowsModule, MissingModuleNamesThePath) {
    const std::string path = BesideProgram("no-such-plugin.dll");
    try {
        Module::Load(path);
        FAIL() << "loaded a module that does not exist";
    } catch (const ModuleError& error) {
        EXPECT_NE(std::string(error.what()).find("no-such-plugin.dll"), std::string::npos) << error.what();
    }
}

TEST(WindowsModule, PluginExportsNothing) {
    auto module = Module::Load(BesideProgram(TavironDll));
    const ExportCounts exports = ExportCountsOf(static_cast<HMODULE>(module->Handle()));
    EXPECT_TRUE(exports.Empty()) << exports.functions << " functions and " << exports.names
                                 << " names exported";
}

// The reader itself must see exports where there are some.
TEST(WindowsModule, HostLibraryExportsItsInterface) {
    HMODULE host = GetModuleHandleA("hostsdk.dll");
    ASSERT_NE(host, nullptr) << "the test program is not linked against hostsdk.dll";
    const ExportCounts exports = ExportCountsOf(host);
    EXPECT_GT(exports.names, 0u);
    EXPECT_NE(GetProcAddress(host, "ClassRegistry"), nullptr);
}

}  // namespace
