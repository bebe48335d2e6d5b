#include "tool_controls.h"

#include "errors.h"
#include "number_text.h"

#include <hostsdk/tag_list.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

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

// The control's declared range, when it has one.
void CheckInRange(const Input& input, double value, const std::string& what) {
    const TagList& tags = input.Tags();
    const bool hasMin = tags.Find(TAG_RangeMin) != nullptr;
    const bool hasMax = tags.Find(TAG_RangeMax) != nullptr;
    const double min = tags.GetDouble(TAG_RangeMin, 0.0);
    const double max = tags.GetDouble(TAG_RangeMax, 0.0);
    if ((hasMin && !(value >= min)) || (hasMax && !(value <= max)))
        throw UsageError(what + " must lie in " + NumberText(min) + " .. " + NumberText(max) + ", not " +
                         NumberText(value));
}

void SetChecked(PluginSession& session, const std::string& channels) {
    for (char c : channels)
        if (std::string("rgba").find(static_cast<char>(std::tolower(static_cast<unsigned char>(c)))) ==
            std::string::npos)
            throw UsageError("--channels takes letters of \"rgba\", not \"" + channels + "\"");
    const std::string lower = Lower(channels);
    const std::pair<char, const char*> boxes[] = {{'r', "Red"}, {'g', "Green"}, {'b', "Blue"}, {'a', "Alpha"}};
    for (const auto& [letter, id] : boxes) session.SetControl(id, lower.find(letter) != std::string::npos ? 1.0 : 0.0);
}

void ApplySetting(PluginSession& session, const std::string& setting) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set takes ID=VALUE, not \"" + setting + "\"");
    const std::string id = setting.substr(0, equals);
    session.InputWithID(id);  // an unknown ID is the first fault to name
    const double value = ParseNumber(setting.substr(equals + 1), "--set " + id);
    session.SetControl(id, value);
}

}  // namespace

double ParseNumber(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw UsageError(what + " takes a number, not \"" + text + "\"");
    return value;
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
        CheckInRange(session.InputWithID("Frames"), *options.frames, "--frames");
        session.SetControl("Frames", *options.frames);
    }
    if (options.direction)
        session.SetControl("SampleDirection",
                           ItemPosition(session.InputWithID("SampleDirection"), *options.direction, "--direction"));
    if (options.method)
        session.SetControl("FilterMethod", ItemPosition(session.InputWithID("FilterMethod"), *options.method, "--method"));
    if (options.threshold) {
        CheckInRange(session.InputWithID("Threshold"), *options.threshold, "--threshold");
        session.SetControl("Threshold", *options.threshold);
    }
    if (options.channels) SetChecked(session, *options.channels);
    if (!options.track.empty()) session.SetControl("UseData", 1.0);
    for (const std::string& setting : options.settings) ApplySetting(session, setting);
}
