#include "hosting/tool_controls.h"

#include "hosting/control_values.h"
#include "errors.h"
#include "number_text.h"

#include <contract/tool_ids.h>

#include <hostsdk/tag_list.h>

#include <algorithm>
#include <optional>
#include <string>

namespace taviron::cli {

namespace {

void SetChecked(PluginSession& session, const ChannelChoice& channels) {
    const std::pair<char, const char*> boxes[] = {{'r', taviron::link_id::kRed}, {'g', taviron::link_id::kGreen}, {'b', taviron::link_id::kBlue}, {'a', taviron::link_id::kAlpha}};
    for (const auto& [letter, id] : boxes) session.SetControl(id, channels.Includes(letter) ? 1.0 : 0.0);
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

double ParseNumber(const std::string& text, const std::string& what) {
    const std::optional<double> value = ReadDecimalNumber(text);
    if (!value) throw UsageError(what + " takes a decimal number such as 3, -0.5 or 1e-3, not \"" + text + "\"");
    return *value;
}

void ApplySetting(PluginSession& session, const ControlSetting& setting) {
    const Input& control = ControlWithID(session.Tool(), setting.id);
    const double value = ParseNumber(setting.value, "--set " + setting.id);
    CheckControlValue(control, value, "--set " + setting.id, setting.value);
    session.SetControl(setting.id, value);
}

}  // namespace

void ApplyControls(PluginSession& session, const ControlSettings& settings) {
    using namespace taviron::link_id;
    if (settings.frames) {
        CheckControlValue(session.InputWithID(kFrames), *settings.frames, "--frames", std::to_string(*settings.frames));
        session.SetControl(kFrames, *settings.frames);
    }
    if (settings.direction) session.SetControl(kSampleDirection, static_cast<double>(*settings.direction));
    if (settings.method) session.SetControl(kFilterMethod, static_cast<double>(*settings.method));
    if (settings.threshold) {
        CheckControlValue(session.InputWithID(kThreshold), *settings.threshold, "--threshold",
                          NumberText(*settings.threshold));
        session.SetControl(kThreshold, *settings.threshold);
    }
    if (settings.channels) SetChecked(session, *settings.channels);
    if (settings.useTrackData) session.SetControl(kUseData, 1.0);
    for (const ControlSetting& setting : settings.settings) ApplySetting(session, setting);
}

void RequireWindow(const PluginSession& session, const ControlSettings& settings) {
    if (settings.frames) return;
    for (const ControlSetting& setting : settings.settings)
        if (setting.id == taviron::link_id::kFrames) return;
    const Input& frames = session.InputWithID(taviron::link_id::kFrames);
    throw UsageError("render needs --frames N, the frames sampled on each side of the current one (1 to " +
                     NumberText(frames.Tags().GetDouble(TAG_RangeMax, 0.0)) + "); the tool starts at " +
                     NumberText(frames.Value()) + ", which copies the input unchanged (--frames 0 asks for that)");
}

}  // namespace taviron::cli
