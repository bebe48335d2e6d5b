#include "plugin_fixture.h"

#include <contract/tool_ids.h>
#include <stdexcept>

std::unique_ptr<Module> TavironPlugin::module_;
std::string TavironPlugin::loadError_;

std::string TavironModulePath() {
    return TAVIRON_PLUGIN_PATH;
}

Registry* FindTavironRecord() {
    return ClassRegistry->Find(HostID(taviron::kToolClassID, true));
}

void TavironPlugin::SetUpTestSuite() {
    try {
        module_ = Module::Load(TavironModulePath());
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

Input* TavironPlugin::InputOf(const Operator* tool, const char* id) {
    Input* input = tool->FindInput(HostID(id, true));
    if (input == nullptr) {
        throw std::runtime_error(std::string("no input ") + id);
    }
    return input;
}

Output* TavironPlugin::OutputOf(const Operator* tool, const char* id) {
    Output* output = tool->FindOutput(HostID(id, true));
    if (output == nullptr) {
        throw std::runtime_error(std::string("no output ") + id);
    }
    return output;
}
