// One instance of the Taviron tool, created through the host from the
// plug-in module. The instance goes before the module that holds its code.
#pragma once

#include <hostsdk/link.h>
#include <hostsdk/module.h>
#include <hostsdk/operator.h>
#include <hostsdk/registry.h>

#include <memory>
#include <string>

namespace taviron::cli {

// The module beside this program.
std::string DefaultPluginPath();

// Loads the module; throws an input error when it cannot be loaded.
std::unique_ptr<Module> LoadPlugin(const std::string& path);

// The tool's record among the classes the loaded module registered; throws
// an input error naming the module and what it registers instead.
Registry& ToolClassOf(const std::string& modulePath);

class PluginSession {
public:
    // Throws an input error when the module cannot be loaded, does not
    // register the tool or gives no instance.
    explicit PluginSession(const std::string& modulePath);
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    Operator& Tool() const { return *tool_; }
    Registry& Class() const { return *class_; }
    // Throws a usage error naming `id` when the tool has no such link.
    Input& InputWithID(const std::string& id) const;
    Output& OutputWithID(const std::string& id) const;
    // Sets a control as a user would, so the tool hears of the change.
    void SetControl(const std::string& id, double value);

private:
    std::unique_ptr<Module> module_;
    Registry* class_ = nullptr;
    Operator* tool_ = nullptr;
};

}  // namespace taviron::cli
