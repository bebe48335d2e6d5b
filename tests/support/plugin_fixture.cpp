#include "support/plugin_fixture.h"

std::unique_ptr<Module> TavironPlugin::module_;
std::string TavironPlugin::loadError_;

void TavironPlugin::SetUpTestSuite() {
    try {
        module_ = LoadTavironModule();
    } catch (const ModuleError& error) {
        loadError_ = error.what();
    }
}

void TavironPlugin::TearDownTestSuite() {
    module_.reset();
}

void TavironPlugin::SetUp() {
    ASSERT_NE(module_, nullptr) << loadError_;
    ASSERT_NE(Record(), nullptr) << "the module entered no record for Orlemby.Taviron";
}

void TavironPlugin::TearDown() {
    for (Operator* tool : tools_) {
        tool->Recycle();
    }
    tools_.clear();
}

Registry* TavironPlugin::Record() {
    return FindTavironRecord();
}

Operator* TavironPlugin::CreateTool() {
    Operator* tool = Record()->Create(ScriptVal{}, TagList{});
    if (tool != nullptr) {
        tools_.push_back(tool);
    }
    return tool;
}
