// Loading the Taviron plug-in module through the host, as a host program
// does, and making tools from its registration record. Shared by the tests of
// the tool, the filter and the command line.
#pragma once

#include <hostsdk/hostsdk.h>
#include <hostsdk/module.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The built module (taviron.so / taviron.dll).
std::string TavironModulePath();

// The registration record of "Orlemby.Taviron", or nullptr when none is
// entered in the class registry.
Registry* FindTavironRecord();

// Keeps the module loaded for a whole test suite; each test's tools are
// destroyed after it.
class TavironPlugin : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // The module's registration record.
    static Registry* Record();

    // A new tool, owned by the fixture.
    Operator* CreateTool();

    // The tool's input or output with this ID; throws std::runtime_error (which
    // fails the test) when there is none.
    static Input* InputOf(const Operator* tool, const char* id);
    static Output* OutputOf(const Operator* tool, const char* id);

private:
    static std::unique_ptr<Module> module_;
    static std::string loadError_;
    std::vector<Operator*> tools_;
};
