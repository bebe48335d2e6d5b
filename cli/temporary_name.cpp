#include "temporary_name.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>

namespace {

const std::string kMarker = ".taviron-";
const std::string kEnding = ".tmp";

}  // namespace

std::string TemporaryNameBeside(const std::string& path, pid_t process) {
    const std::filesystem::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + kMarker + std::to_string(process) + kEnding))
        .string();
}

std::optional<TemporaryOf> ParseTemporaryName(const std::string& name) {
    if (name.size() < 1 + kMarker.size() + kEnding.size() + 2 || name[0] != '.') return std::nullopt;
    if (name.compare(name.size() - kEnding.size(), kEnding.size(), kEnding) != 0) return std::nullopt;
    const size_t marker = name.rfind(kMarker);
    if (marker == std::string::npos || marker < 2) return std::nullopt;
    const std::string digits = name.substr(marker + kMarker.size(), name.size() - kEnding.size() - marker - kMarker.size());
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return TemporaryOf{name.substr(1, marker - 1), static_cast<pid_t>(std::stol(digits))};
}
