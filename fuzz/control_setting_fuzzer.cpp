// The render command's control options on any text, against the plug-in
// loaded once: lines 1 to 5 are --frames, --direction, --method,
// --threshold and --channels (an empty line: not given), every further line
// is one --set ID=VALUE. Applying them either sets each control a --set
// names to its number (the last one given wins) or stops at a usage error;
// nothing else escapes.
#include "fuzz_checks.h"

#include "errors.h"
#include "hosting/plugin_session.h"
#include "commands/render_options.h"
#include "hosting/tool_controls.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace taviron::cli {
namespace {

PluginSession* session = nullptr;

// A line that is wholly a number of the option's kind, as the command line
// would hand it over; otherwise the option is not given.
template <typename Number>
std::optional<Number> NumberOf(const std::string& line) {
    Number value{};
    if (line.empty() || !CLI::detail::lexical_cast(line, value)) return std::nullopt;
    return value;
}

std::optional<std::string> WordOf(const std::string& line) {
    if (line.empty()) return std::nullopt;
    return line;
}

RenderOptions OptionsFrom(std::vector<std::string> lines) {
    lines.resize(std::max<size_t>(lines.size(), 5));
    RenderOptions options;
    options.frames = NumberOf<int>(lines[0]);
    options.direction = WordOf(lines[1]);
    options.method = WordOf(lines[2]);
    options.threshold = NumberOf<double>(lines[3]);
    options.channels = WordOf(lines[4]);
    options.settings.assign(lines.begin() + 5, lines.end());
    return options;
}

// What the --set lines ask of each input: the last value given. Only
// called once they have all been accepted.
std::map<const Input*, double> Settings(const std::vector<std::string>& settings) {
    std::map<const Input*, double> values;
    for (const std::string& setting : settings) {
        const size_t equals = setting.find('=');
        values[&session->InputWithID(setting.substr(0, equals))] = std::strtod(setting.c_str() + equals + 1, nullptr);
    }
    return values;
}

// Command-line arguments end at their first NUL.
std::vector<std::string> Arguments(const uint8_t* data, size_t size) {
    std::vector<std::string> lines = Lines(data, size);
    for (std::string& line : lines) {
        line.resize(std::min(line.size(), line.find('\0')));
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    session = new PluginSession(TAVIRON_PLUGIN_PATH);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const RenderOptions options = OptionsFrom(Arguments(data, size));
    try {
        ApplyControls(*session, options);
    } catch (const CliError& error) {
        Require(error.Status() == ExitStatus::Usage);
        return 0;
    }
    for (const auto& [input, value] : Settings(options.settings)) {
        Require(input->Value() == value);
    }
    return 0;
}

}  // namespace taviron::cli
