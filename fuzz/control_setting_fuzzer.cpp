// The render command's control options on any text, against the plug-in
// loaded once: lines 1 to 5 are --frames, --direction, --method,
// --threshold and --channels (an empty line: not given), every further line
// is one --set ID=VALUE. Reading and applying them either sets each control a
// --set names to its number (the last one given wins) or stops at a usage
// error; nothing else escapes.
#include "fuzz_checks.h"

#include "errors.h"
#include "hosting/plugin_session.h"
#include "hosting/control_settings.h"
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

// The word read as the option would read it, when the line gives one.
template <typename Read>
auto WordOf(const std::string& line, Read read) -> std::optional<decltype(read(line))> {
    if (line.empty()) return std::nullopt;
    return read(line);
}

ControlSettings SettingsFrom(std::vector<std::string> lines) {
    lines.resize(std::max<size_t>(lines.size(), 5));
    ControlSettings settings;
    settings.frames = NumberOf<int>(lines[0]);
    settings.direction = WordOf(lines[1], DirectionNamed);
    settings.method = WordOf(lines[2], MethodNamed);
    settings.threshold = NumberOf<double>(lines[3]);
    settings.channels = WordOf(lines[4], ChannelsNamed);
    for (auto line = lines.begin() + 5; line != lines.end(); ++line) settings.settings.push_back(SettingOf(*line));
    return settings;
}

// What the --set lines ask of each input: the last value given. Only
// called once they have all been accepted.
std::map<const Input*, double> Values(const std::vector<ControlSetting>& settings) {
    std::map<const Input*, double> values;
    for (const ControlSetting& setting : settings)
        values[&session->InputWithID(setting.id)] = std::strtod(setting.value.c_str(), nullptr);
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
    ControlSettings settings;
    try {
        settings = SettingsFrom(Arguments(data, size));
        ApplyControls(*session, settings);
    } catch (const CliError& error) {
        Require(error.Status() == ExitStatus::Usage);
        return 0;
    }
    for (const auto& [input, value] : Values(settings.settings)) {
        Require(input->Value() == value);
    }
    return 0;
}

}  // namespace taviron::cli
