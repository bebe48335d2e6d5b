// The tool's controls as the command line sets them, in the tool's own
// terms: items by the enumerations both sides agree on, channels by their
// checkboxes. Each is read from its text once, when the options are parsed;
// a control that is not given is empty and keeps the tool's starting value.
#pragma once

#include <contract/combo_items.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace taviron::cli {

// --channels: letters of rgba, in any case, as written (messages quote them).
struct ChannelChoice {
    std::string letters;
    // Whether the channel of lower-case `letter` (r, g, b or a) is filtered.
    bool Includes(char letter) const;
};

// --set ID=VALUE. The value is read once the control is known, so that an
// unknown ID is the first fault named.
struct ControlSetting {
    std::string id;
    std::string value;  // as written
};

struct ControlSettings {
    std::optional<int> frames;
    std::optional<SampleDirection> direction;
    std::optional<FilterMethod> method;
    std::optional<double> threshold;
    std::optional<ChannelChoice> channels;
    bool useTrackData = false;             // a track file is given
    std::vector<ControlSetting> settings;  // applied last, in order
};

// Declares the options that set the tool's controls, read into `controls`:
// --frames, --direction, --method, --threshold and --channels, each typed as
// it is parsed; and, to be declared after the options it may override, --set.
void AddControlOptions(CLI::App& command, ControlSettings& controls);
void AddSetOption(CLI::App& command, ControlSettings& controls);

// The command line's words for the items of Sample Direction and Filter
// method, in the items' order; the host's own spellings stand for them too.
const std::vector<std::string>& DirectionWords();
const std::map<std::string, std::string>& DirectionAliases();
const std::vector<std::string>& MethodWords();

// The command line's word for an item of a control: the item in lower case,
// the host's "Foreward" as "forward".
std::string CommandLineWord(const std::string& item);
// "a, b or c"
std::string Choices(const std::vector<std::string>& words);

// Each reads one option's text, whatever its case, or throws a usage error
// naming the option and the text.
SampleDirection DirectionNamed(const std::string& word);
FilterMethod MethodNamed(const std::string& word);
ChannelChoice ChannelsNamed(const std::string& letters);
ControlSetting SettingOf(const std::string& text);

}  // namespace taviron::cli
