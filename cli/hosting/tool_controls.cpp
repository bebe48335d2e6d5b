#include "hosting/tool_controls.h"

#include "hosting/control_values.h"
#include "errors.h"
#include "number_text.h"

#include <contract/tool_ids.h>

#include <hostsdk/tag_list.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace taviron::cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// "a, b or c", each item as the command line spells it.
std::string Choices(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + CommandLineWord(items[i]);
    return text;
}

void SetChecked(PluginSession& session, const std::string& channels) {
    if (channels.empty())
        throw UsageError("--channels takes the letters of the channels to filter, one or more of \"rgba\", not an "
                         "empty word");
    for (char c : channels)
        if (std::string("rgba").find(static_cast<char>(std::tolower(static_cast<unsigned char>(c)))) ==
            std::string::npos)
            throw UsageError("--channels takes letters of \"rgba\", not \"" + channels + "\"");
    const std::string lower = Lower(channels);
    const std::pair<char, const char*> boxes[] = {{'r', taviron::link_id::kRed}, {'g', taviron::link_id::kGreen}, {'b', taviron::link_id::kBlue}, {'a', taviron::link_id::kAlpha}};
    for (const auto& [letter, id] : boxes) session.SetControl(id, lower.find(letter) != std::string::npos ? 1.0 : 0.0);
}

// "Red, Green, ..., Threshold": the IDs of the inputs that --set can set.
std::string ControlIDs(const Operator& tool) {
    std::string text;
    for (const Input* input : tool.Inputs())
        if (HoldsControlValue(*input)) text += (text.empty() ? "" : ", ") + std::string(input->ID().Text());
    return text;
}

// The input `id` names, when it is a control; the ID is the first fault to name.
const Input& ControlWithID(const Operator& tool, const std::string& id) {
    const auto found = std::find_if(tool.Inputs().begin(), tool.Inputs().end(),
                                    [&](const Input* input) { return input->ID().Text() == id; });
    const std::string controls = "; --set takes the controls " + ControlIDs(tool);
    if (found == tool.Inputs().end())
        throw UsageError("--set " + id + ": the tool has no control with ID \"" + id + "\"" + controls);
    if (!HoldsControlValue(**found)) {
        const std::string kind = (*found)->DataType().Text()[0] ? (*found)->DataType().Text() : "button";
        throw UsageError("--set " + id + ": \"" + id + "\" is the tool's " + kind + " input, not a control" + controls);
    }
    return **found;
}

void ApplySetting(PluginSession& session, const std::string& setting) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set takes ID=VALUE, not \"" + setting + "\"");
    const std::string id = setting.substr(0, equals);
    const std::string written = setting.substr(equals + 1);
    const Input& control = ControlWithID(session.Tool(), id);
    const double value = ParseNumber(written, "--set " + id);
    CheckControlValue(control, value, "--set " + id, written);
    session.SetControl(id, value);
}

}  // namespace

double ParseNumber(const std::string& text, const std::string& what) {
    const std::optional<double> value = ReadDecimalNumber(text);
    if (!value) throw UsageError(what + " takes a decimal number such as 3, -0.5 or 1e-3, not \"" + text + "\"");
    return *value;
}

const std::vector<std::string>& DirectionWords() {
    static const std::vector<std::string> words = {"backward", "both", "forward"};
    return words;
}

const std::map<std::string, std::string>& DirectionAliases() {
    static const std::map<std::string, std::string> aliases = {{"foreward", "forward"}};
    return aliases;
}

const std::vector<std::string>& MethodWords() {
    static const std::vector<std::string> words = {"median", "average", "max", "min", "random"};
    return words;
}

std::string CommandLineWord(const std::string& item) {
    const std::string lower = Lower(item);
    const auto alias = DirectionAliases().find(lower);
    return alias == DirectionAliases().end() ? lower : alias->second;
}

double ItemPosition(const Input& input, const std::string& word, const std::string& option) {
    const std::vector<std::string> items = input.Tags().GetStrings(TAG_Item);
    for (size_t i = 0; i < items.size(); ++i)
        if (CommandLineWord(items[i]) == CommandLineWord(word)) return static_cast<double>(i);
    throw UsageError(option + " takes " + Choices(items) + ", not \"" + word + "\"");
}

void ApplyControls(PluginSession& session, const RenderOptions& options) {
    if (options.frames) {
        CheckControlValue(session.InputWithID(taviron::link_id::kFrames), *options.frames, "--frames", std::to_string(*options.frames));
        session.SetControl(taviron::link_id::kFrames, *options.frames);
    }
    if (options.direction)
        session.SetControl(taviron::link_id::kSampleDirection,
                           ItemPosition(session.InputWithID(taviron::link_id::kSampleDirection), *options.direction, "--direction"));
    if (options.method)
        session.SetControl(taviron::link_id::kFilterMethod, ItemPosition(session.InputWithID(taviron::link_id::kFilterMethod), *options.method, "--method"));
    if (options.threshold) {
        CheckControlValue(session.InputWithID(taviron::link_id::kThreshold), *options.threshold, "--threshold",
                          NumberText(*options.threshold));
        session.SetControl(taviron::link_id::kThreshold, *options.threshold);
    }
    if (options.channels) SetChecked(session, *options.channels);
    if (!options.track.empty()) session.SetControl(taviron::link_id::kUseData, 1.0);
    for (const std::string& setting : options.settings) ApplySetting(session, setting);
}

void RequireWindow(const PluginSession& session, const RenderOptions& options) {
    if (options.frames) return;
    for (const std::string& setting : options.settings)
        if (setting.rfind(std::string(taviron::link_id::kFrames) + "=", 0) == 0) return;
    const Input& frames = session.InputWithID(taviron::link_id::kFrames);
    throw UsageError("render needs --frames N, the frames sampled on each side of the current one (1 to " +
                     NumberText(frames.Tags().GetDouble(TAG_RangeMax, 0.0)) + "); the tool starts at " +
                     NumberText(frames.Value()) + ", which copies the input unchanged (--frames 0 asks for that)");
}

}  // namespace taviron::cli
