#include "hosting/control_settings.h"

#include "errors.h"
#include "number_text.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>

namespace taviron::cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

template <int Count>
std::vector<std::string> WordsOf(const char* const (&items)[Count]) {
    std::vector<std::string> words;
    for (const char* item : items) words.push_back(CommandLineWord(item));
    return words;
}

// The position of `word` among `words`, which is the item's value.
int32_t PositionOf(const std::vector<std::string>& words, const std::string& word, const std::string& option) {
    const auto found = std::find(words.begin(), words.end(), CommandLineWord(word));
    if (found == words.end()) throw UsageError(option + " takes " + Choices(words) + ", not \"" + word + "\"");
    return static_cast<int32_t>(found - words.begin());
}

}  // namespace

bool ChannelChoice::Includes(char letter) const { return Lower(letters).find(letter) != std::string::npos; }

const std::vector<std::string>& DirectionWords() {
    static const std::vector<std::string> words = WordsOf(kSampleDirectionItems);
    return words;
}

const std::map<std::string, std::string>& DirectionAliases() {
    static const std::map<std::string, std::string> aliases = {{"foreward", "forward"}};
    return aliases;
}

const std::vector<std::string>& MethodWords() {
    static const std::vector<std::string> words = WordsOf(kFilterMethodItems);
    return words;
}

std::string CommandLineWord(const std::string& item) {
    const std::string lower = Lower(item);
    const auto alias = DirectionAliases().find(lower);
    return alias == DirectionAliases().end() ? lower : alias->second;
}

SampleDirection DirectionNamed(const std::string& word) {
    return static_cast<SampleDirection>(PositionOf(DirectionWords(), word, "--direction"));
}

FilterMethod MethodNamed(const std::string& word) {
    return static_cast<FilterMethod>(PositionOf(MethodWords(), word, "--method"));
}

ChannelChoice ChannelsNamed(const std::string& letters) {
    if (letters.empty())
        throw UsageError("--channels takes the letters of the channels to filter, one or more of \"rgba\", not an "
                         "empty word");
    if (Lower(letters).find_first_not_of("rgba") != std::string::npos)
        throw UsageError("--channels takes letters of \"rgba\", not \"" + letters + "\"");
    return {letters};
}

std::string Choices(const std::vector<std::string>& words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
        text += words[i];
    }
    return text;
}

ControlSetting SettingOf(const std::string& text) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) throw UsageError("--set takes ID=VALUE, not \"" + text + "\"");
    return {text.substr(0, equals), text.substr(equals + 1)};
}

void AddControlOptions(CLI::App& command, ControlSettings& controls) {
    command.add_option("--frames", controls.frames,
                       "Frames sampled on each side of the current one, 0 to 250 (\"Frames\"); needed unless --set "
                       "Frames=N gives it, since the tool's starting value 0 copies the input")
        ->check(kWholeNumberCheck)
        ->default_str("none");
    command
        .add_option_function<std::string>(
            "--direction", [&controls](const std::string& word) { controls.direction = DirectionNamed(word); },
            "Which side of the current frame the window lies on")
        ->transform(CLI::Transformer(DirectionAliases(), CLI::ignore_case).description(""))
        ->check(CLI::IsMember(DirectionWords(), CLI::ignore_case))
        ->default_str("both");
    command
        .add_option_function<std::string>(
            "--method", [&controls](const std::string& word) { controls.method = MethodNamed(word); }, "Filter method")
        ->check(CLI::IsMember(MethodWords(), CLI::ignore_case))
        ->default_str("median");
    command.add_option("--threshold", controls.threshold, "Keep the source where the change is below this, 0 to 1")
        ->check(kDecimalNumberCheck)
        ->default_str("0");
    command
        .add_option_function<std::string>(
            "--channels", [&controls](const std::string& letters) { controls.channels = ChannelsNamed(letters); },
            "Channels to filter, letters of rgba (others stay as they are)")
        ->type_name("LETTERS")
        ->default_str("rgba");
}

void AddSetOption(CLI::App& command, ControlSettings& controls) {
    command
        .add_option_function<std::vector<std::string>>(
            "--set",
            [&controls](const std::vector<std::string>& texts) {
                for (const std::string& text : texts) controls.settings.push_back(SettingOf(text));
            },
            "Set any control by its ID, e.g. --set Threshold=0.1 (repeatable)")
        ->type_name("ID=VALUE")
        ->default_str("none");
}

}  // namespace taviron::cli
