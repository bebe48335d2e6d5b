// Setting the tool's controls from command-line options. Names of items and
// ranges are read back from the tool's own declarations, so the command line
// accepts what the tool offers.
#pragma once

#include "plugin_session.h"
#include "render_options.h"

#include <string>

// Throws a usage error naming the option and the value at fault.
double ParseNumber(const std::string& text, const std::string& what);
long long ParseInteger(const std::string& text, const std::string& what);

// The position of `name` among the items of the control (case does not
// matter; "forward" stands for "Foreward").
double ItemPosition(const Input& input, const std::string& name, const std::string& option);

// Sets every control the options name: --frames, --direction, --method,
// --threshold, --channels, --track's "Use tracking data", then each --set.
void ApplyControls(PluginSession& session, const RenderOptions& options);
