// A GoogleTest fixture that keeps the Taviron plug-in module loaded for a
// whole test suite, as a host program does, and makes tools from its
// registration record. Shared by the tests of the tool and the command line.
#pragma once

#include "support/plugin_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Each test's tools are destroyed after it.
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

private:
    static std::unique_ptr<Module> module_;
    static std::string loadError_;
    std::vector<Operator*> tools_;
};
