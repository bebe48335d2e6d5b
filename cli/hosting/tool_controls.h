// Setting the tool's controls from the command line's settings. Ranges are
// read back from the tool's own declarations, so the command line accepts
// what the tool offers.
#pragma once

#include "hosting/control_settings.h"
#include "hosting/plugin_session.h"

namespace taviron::cli {

// Sets every control `settings` names: Frames, Sample Direction, Filter
// method, Threshold, the channel checkboxes, "Use tracking data", then each
// --set. Throws a usage error naming the option and the value at fault.
void ApplyControls(PluginSession& session, const ControlSettings& settings);

// Throws a usage error when the settings leave the window at the tool's
// starting value: Frames 0 renders a plain copy, which must be asked for.
void RequireWindow(const PluginSession& session, const ControlSettings& settings);

}  // namespace taviron::cli
