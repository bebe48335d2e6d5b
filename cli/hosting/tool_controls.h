// Setting the tool's controls from command-line options. Names of items and
// ranges are read back from the tool's own declarations, so the command line
// accepts what the tool offers.
#pragma once

#include "hosting/plugin_session.h"
#include "commands/render_options.h"

#include <map>
#include <string>
#include <vector>

namespace taviron::cli {

// Throws a usage error naming the option and the value at fault.
double ParseNumber(const std::string& text, const std::string& what);

// The command line's words for the items of Sample Direction and Filter
// method; the host's own spellings stand for them too.
const std::vector<std::string>& DirectionWords();
const std::map<std::string, std::string>& DirectionAliases();
const std::vector<std::string>& MethodWords();

// The command line's word for an item of a control: the item in lower case,
// the host's "Foreward" as "forward".
std::string CommandLineWord(const std::string& item);

// The position of `word` among the items of the control (case does not
// matter; an item's own spelling counts as its word).
double ItemPosition(const Input& input, const std::string& word, const std::string& option);

// Sets every control the options name: --frames, --direction, --method,
// --threshold, --channels, --track's "Use tracking data", then each --set.
void ApplyControls(PluginSession& session, const RenderOptions& options);

// Throws a usage error when the options leave the window at the tool's
// starting value: Frames 0 renders a plain copy, which must be asked for.
void RequireWindow(const PluginSession& session, const RenderOptions& options);

}  // namespace taviron::cli
