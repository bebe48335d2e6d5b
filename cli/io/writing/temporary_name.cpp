#include "io/writing/temporary_name.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>

namespace taviron::cli {

namespace {

const std::string kMarker = ".taviron-";
const std::string kEnding = ".tmp";

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string ReadMachineName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    std::string machine(name);
    // Only the short name: a node's full name may change with the network it is seen from.
    machine = machine.substr(0, machine.find('.'));
    for (char& c : machine)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '-';
    return machine;
}

}  // namespace

const std::string& ThisMachineName() {
    static const std::string machine = ReadMachineName();
    return machine;
}

std::string TemporaryNameBeside(const std::string& path, pid_t process) {
    const std::filesystem::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + kMarker + ThisMachineName() + "-" +
                                    std::to_string(process) + kEnding))
        .string();
}

std::optional<TemporaryOf> ParseTemporaryName(const std::string& name) {
    if (name.size() < 1 + kMarker.size() + kEnding.size() + 4 || name[0] != '.') return std::nullopt;
    if (name.compare(name.size() - kEnding.size(), kEnding.size(), kEnding) != 0) return std::nullopt;
    const size_t marker = name.rfind(kMarker);
    if (marker == std::string::npos || marker < 2) return std::nullopt;
    const size_t tagStart = marker + kMarker.size();
    const std::string tag = name.substr(tagStart, name.size() - kEnding.size() - tagStart);  // HOST-PID
    const size_t dash = tag.rfind('-');
    if (dash == std::string::npos || dash == 0) return std::nullopt;
    const std::string digits = tag.substr(dash + 1);
    if (!AllDigits(digits) || digits.size() > 9) return std::nullopt;
    return TemporaryOf{name.substr(1, marker - 1), tag.substr(0, dash), static_cast<pid_t>(std::stol(digits))};
}

}  // namespace taviron::cli
