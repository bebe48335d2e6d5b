#include "commands/about_command.h"

#include "errors.h"
#include "hosting/plugin_session.h"

#include <CLI/CLI.hpp>
#include <contract/tool_ids.h>
#include <hostsdk/message_box.h>

#include <iostream>

namespace taviron::cli {

namespace {

// Shows message boxes on standard output while it lives.
class PrintedMessageBoxes {
public:
    PrintedMessageBoxes()
        : previous_(SetMessageBoxHandler([this](const char* text, const char* caption, unsigned /*style*/) {
              std::cout << caption << "\n\n"
                        << text << '\n';
              ++shown_;
              return 1;  // OK
          })) {}
    ~PrintedMessageBoxes() { SetMessageBoxHandler(previous_); }
    PrintedMessageBoxes(const PrintedMessageBoxes&) = delete;
    PrintedMessageBoxes& operator=(const PrintedMessageBoxes&) = delete;

    int Shown() const { return shown_; }

private:
    int shown_ = 0;
    MessageBoxHandler previous_;
};

}  // namespace

int RunAbout(const std::string& pluginPath) {
    PluginSession session(pluginPath);
    PrintedMessageBoxes boxes;
    session.SetControl(taviron::link_id::kAbout, 1.0);  // pressed
    session.SetControl(taviron::link_id::kAbout, 0.0);  // released
    if (boxes.Shown() == 0) throw InputError("the plug-in showed no About box");
    return 0;
}

CLI::App& AddAboutCommand(CLI::App& app, CommandRun& chosen) {
    CLI::App& about = *app.add_subcommand("about", "Press the tool's About button");
    about.callback([&chosen] { chosen = RunAbout; });
    return about;
}

}  // namespace taviron::cli
