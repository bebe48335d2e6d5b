#include "support/plugin_module.h"

#include <contract/tool_ids.h>

#include <stdexcept>

std::string TavironModulePath() {
    return TAVIRON_PLUGIN_PATH;
}

std::unique_ptr<Module> LoadTavironModule() {
    return Module::Load(TavironModulePath());
}

Registry* FindTavironRecord() {
    return ClassRegistry->Find(HostID(taviron::kToolClassID, true));
}

Input* InputOf(const Operator* tool, const char* id) {
    Input* input = tool->FindInput(HostID(id, true));
    if (input == nullptr) {
        throw std::runtime_error(std::string("no input ") + id);
    }
    return input;
}

Output* OutputOf(const Operator* tool, const char* id) {
    Output* output = tool->FindOutput(HostID(id, true));
    if (output == nullptr) {
        throw std::runtime_error(std::string("no output ") + id);
    }
    return output;
}
