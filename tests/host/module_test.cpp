#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>
#include <hostsdk/module_resources.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string Directory(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The test modules are built beside this program.
std::string BesideThisProgram(const std::string& name) {
    static const int here = 0;
    return Directory(ModulePathOf(&here)) + "/" + name;
}

std::string Text(const ResourceBytes& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data), bytes.size);
}

std::string LoadError(const std::string& path) {
    try {
        Module::Load(path);
    } catch (const ModuleError& error) {
        return error.what();
    }
    return "loaded";
}

const HostID probeID("Test.ResourceProbe");

}  // namespace

TEST(Module, LoadFailureNamesThePath) {
    const std::string missing = BesideThisProgram("no_such_module.so");
    const std::string error = LoadError(missing);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(error.rfind("cannot load module \"" + missing + "\": ", 0), 0u) << error;
    EXPECT_GT(error.size(), missing.size() + 20) << "the system's reason is missing: " << error;
}

TEST(Module, NonModuleFileIsRefusedNamingThePath) {
    const std::string path = BesideThisProgram("hostsdk_not_a_module.txt");
    std::ofstream(path) << "just text, no code\n";
    const std::string error = LoadError(path);
    std::remove(path.c_str());
    EXPECT_NE(error.find(path), std::string::npos) << error;
}

TEST(Module, PathOfAnAddressNamesItsModule) {
    const std::string library = ModulePathOf(reinterpret_cast<const void*>(&HalfToFloat));
    EXPECT_NE(library.find("hostsdk"), std::string::npos) << library;
    EXPECT_NE(ModulePathOf(reinterpret_cast<const void*>(&Directory)), library);
    EXPECT_FALSE(ModulePathOf(reinterpret_cast<const void*>(&Directory)).empty());
}

TEST(Module, LoadingRegistersItsClassesAndUnloadingRemovesThem) {
    ASSERT_EQ(ClassRegistry->Find(probeID), nullptr);
    {
        const std::string path = BesideThisProgram(PROBE_MODULE_NAME);
        std::unique_ptr<Module> module = Module::Load(path);
        EXPECT_EQ(module->Path(), path);
        EXPECT_NE(module->Handle(), nullptr);

        Registry* probe = ClassRegistry->Find(probeID);
        ASSERT_NE(probe, nullptr);
        EXPECT_STREQ(probe->Name(), "Resource probe");
        Operator* made = probe->Create(ScriptVal{}, TagList());
        ASSERT_NE(made, nullptr);
        made->Recycle();
        const std::string probePath = ModulePathOf(probe);
        EXPECT_EQ(probePath.substr(probePath.find_last_of("/\\") + 1), PROBE_MODULE_NAME);
    }
    EXPECT_EQ(ClassRegistry->Find(probeID), nullptr);
}

TEST(ModuleResources, FoundInTheModuleThatHoldsTheAddress) {
    std::unique_ptr<Module> module = Module::Load(BesideThisProgram(PROBE_MODULE_NAME));
    Registry* probe = ClassRegistry->Find(probeID);
    ASSERT_NE(probe, nullptr);

    // English (United Kingdom) is preferred over the German entered first.
    EXPECT_EQ(Text(probe->Picture()), "picture 101, English UK");
    // Without an English one, any language does.
    EXPECT_EQ(Text(FindModuleResource(probe, RESOURCE_BITMAP, 102)), "picture 102");
    // Type and ID must both match.
    EXPECT_EQ(Text(FindModuleResource(probe, 10, 103)), "data 103");
    EXPECT_EQ(FindModuleResource(probe, RESOURCE_BITMAP, 103).data, nullptr);
    EXPECT_EQ(FindModuleResource(probe, RESOURCE_BITMAP, 104).data, nullptr);
    // This program carries no resources.
    EXPECT_EQ(FindModuleResource(&probeID, RESOURCE_BITMAP, 101).data, nullptr);
}
