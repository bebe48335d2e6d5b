#include "hosting/control_settings.h"

#include "errors.h"

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

}  // namespace taviron::cli
