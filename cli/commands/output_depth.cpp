#include "commands/output_depth.h"

#include "errors.h"

#include <CLI/CLI.hpp>
#include <strings.h>

#include <algorithm>

namespace taviron::cli {

namespace {

struct Depth {
    const char* word;
    OIIO::TypeDesc::BASETYPE type;
    const char* samples;
};

constexpr Depth kDepths[] = {{"8", OIIO::TypeDesc::UINT8, "8-bit"},
                             {"16", OIIO::TypeDesc::UINT16, "16-bit"},
                             {"half", OIIO::TypeDesc::HALF, "half"},
                             {"float", OIIO::TypeDesc::FLOAT, "float"}};

const Depth* DepthOf(OIIO::TypeDesc type) {
    const auto found = std::find_if(std::begin(kDepths), std::end(kDepths),
                                    [&](const Depth& depth) { return OIIO::TypeDesc(depth.type) == type; });
    return found == std::end(kDepths) ? nullptr : found;
}

std::vector<std::string> WordsOfDepths() {
    std::vector<std::string> words;
    for (const Depth& depth : kDepths) words.push_back(depth.word);
    return words;
}

}  // namespace

const std::vector<std::string>& DepthWords() {
    static const std::vector<std::string> words = WordsOfDepths();
    return words;
}

OIIO::TypeDesc DepthNamed(const std::string& word) {
    for (const Depth& depth : kDepths)
        if (strcasecmp(word.c_str(), depth.word) == 0) return depth.type;
    throw UsageError("--depth takes 8, 16, half or float, not \"" + word + "\"");
}

std::string DepthWord(OIIO::TypeDesc type) {
    const Depth* depth = DepthOf(type);
    return depth ? depth->word : type.c_str();
}

std::string SamplesName(OIIO::TypeDesc type) {
    const Depth* depth = DepthOf(type);
    return depth ? depth->samples : type.c_str();
}

void AddDepthOption(CLI::App& command, OIIO::TypeDesc& depth) {
    command
        .add_option_function<std::string>(
            "--depth", [&depth](const std::string& word) { depth = DepthNamed(word); }, "Output pixel type")
        ->check(CLI::IsMember(DepthWords(), CLI::ignore_case))
        ->default_str("the input's");
}

}  // namespace taviron::cli
