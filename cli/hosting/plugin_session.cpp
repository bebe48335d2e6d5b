#include "hosting/plugin_session.h"

#include "errors.h"

#include <contract/tool_ids.h>

#include <filesystem>
#include <vector>

namespace taviron::cli {

std::string DefaultPluginPath() {
    const std::string program = ModulePathOf(reinterpret_cast<const void*>(&DefaultPluginPath));
    return (std::filesystem::path(program).parent_path() / "taviron.so").string();
}

std::unique_ptr<Module> LoadPlugin(const std::string& path) {
    try {
        return Module::Load(path);
    } catch (const ModuleError& error) {
        throw InputError(error.what());
    }
}

Registry& ToolClassOf(const std::string& modulePath) {
    Registry* found = ClassRegistry ? ClassRegistry->Find(HostID(taviron::kToolClassID)) : nullptr;
    if (found) return *found;
    std::string registered;
    for (Registry* record : ClassRegistry ? ClassRegistry->All() : std::vector<Registry*>{})
        registered += std::string(registered.empty() ? "" : ", ") + record->ID().Text();
    throw InputError(modulePath + " does not register the tool " + taviron::kToolClassID +
                     (registered.empty() ? "; it registers nothing" : "; it registers " + registered));
}

PluginSession::PluginSession(const std::string& modulePath) : module_(LoadPlugin(modulePath)) {
    class_ = &ToolClassOf(modulePath);
    tool_ = class_->Create(ScriptVal{}, TagList());
    if (!tool_) throw InputError(modulePath + " gave no instance of " + taviron::kToolClassID);
}

PluginSession::~PluginSession() {
    if (tool_) tool_->Recycle();
}

Input& PluginSession::InputWithID(const std::string& id) const {
    Input* input = tool_->FindInput(HostID(id));
    if (!input) throw UsageError("the tool has no input with ID \"" + id + "\"");
    return *input;
}

Output& PluginSession::OutputWithID(const std::string& id) const {
    Output* output = tool_->FindOutput(HostID(id));
    if (!output) throw UsageError("the tool has no output with ID \"" + id + "\"");
    return *output;
}

void PluginSession::SetControl(const std::string& id, double value) {
    tool_->SetInputValue(&InputWithID(id), value, 0.0);
}

}  // namespace taviron::cli
