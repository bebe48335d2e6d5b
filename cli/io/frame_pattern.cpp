#include "io/frame_pattern.h"

#include "errors.h"

#include <OpenImageIO/strutil.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <regex>

namespace taviron::cli {

namespace fs = std::filesystem;

namespace {

// Wider than any frame number needs; keeps every padded number distinct.
constexpr size_t MaxPadding = 16;

struct FrameField {
    size_t position = std::string::npos;
    size_t length = 0;
    int padding = 0;
};

// `\#` is a '#' of the file's own name, not a digit of the frame number.
bool IsEscaped(const std::string& text, size_t at) { return at > 0 && text[at - 1] == '\\'; }

std::string Unescaped(std::string text) {
    for (size_t at = text.find("\\#"); at != std::string::npos; at = text.find("\\#", at + 1)) text.erase(at, 1);
    return text;
}

// The last run of '#' or the last printf field (%d, %4d, %04d) in `text`.
FrameField FindFrameField(const std::string& text) {
    FrameField field;
    static const std::regex printfField("%0?([0-9]*)d");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), printfField); it != std::sregex_iterator(); ++it) {
        field.position = static_cast<size_t>(it->position());
        field.length = static_cast<size_t>(it->length());
        field.padding = -1;  // checked below, once the field is known
        const std::string width = (*it)[1].str();
        if (width.size() <= 2) field.padding = width.empty() ? 0 : std::stoi(width);
    }
    size_t lastHash = text.rfind('#');
    while (lastHash != std::string::npos && IsEscaped(text, lastHash))
        lastHash = lastHash >= 2 ? text.rfind('#', lastHash - 2) : std::string::npos;
    if (lastHash != std::string::npos && (field.position == std::string::npos || lastHash > field.position)) {
        size_t first = lastHash;
        while (first > 0 && text[first - 1] == '#' && !IsEscaped(text, first - 1)) --first;
        field.position = first;
        field.length = lastHash - first + 1;
        field.padding = static_cast<int>(field.length);
    }
    return field;
}

bool IsFrameNumberText(const std::string& text) {
    size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
    return text.size() > start &&
           std::all_of(text.begin() + static_cast<long>(start), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

FramePattern::FramePattern(std::string text) : text_(std::move(text)) {
    if (text_.empty()) throw UsageError("an empty file name was given");
    const FrameField field = FindFrameField(text_);
    if (field.position == std::string::npos) {
        path_ = Unescaped(text_);
        return;
    }
    if (field.padding < 0 || static_cast<size_t>(field.padding) > MaxPadding) {
        throw UsageError(OIIO::Strutil::fmt::format("the frame number field of \"{}\" pads to more than {} digits", text_, MaxPadding));
    }
    sequence_ = true;
    prefix_ = Unescaped(text_.substr(0, field.position));
    suffix_ = Unescaped(text_.substr(field.position + field.length));
    padding_ = field.padding;
}

std::string FramePattern::PathOf(int frame) const {
    if (!sequence_) return path_;
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*d", padding_, frame);
    return prefix_ + digits + suffix_;
}

std::vector<std::pair<std::string, long long>> FramePattern::NumberedNames() const {
    const fs::path prefixPath(prefix_);
    const fs::path directory = prefixPath.has_filename() ? prefixPath.parent_path() : prefixPath;
    const std::string namePrefix = prefixPath.has_filename() ? prefixPath.filename().string() : std::string();
    std::vector<std::pair<std::string, long long>> names;
    std::error_code error;
    for (fs::directory_iterator it(directory.empty() ? fs::path(".") : directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= namePrefix.size() + suffix_.size()) continue;
        if (name.compare(0, namePrefix.size(), namePrefix) != 0) continue;
        if (name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0) continue;
        const std::string number = name.substr(namePrefix.size(), name.size() - namePrefix.size() - suffix_.size());
        if (!IsFrameNumberText(number) || number.size() > 10) continue;
        const long long frame = std::stoll(number);
        if (frame < -kLargestFrameNumber || frame > kLargestFrameNumber) continue;
        names.emplace_back(name, frame);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<int> FramePattern::FramesOnDisk() const {
    std::error_code error;
    if (!sequence_) return fs::is_regular_file(path_, error) ? std::vector<int>{1} : std::vector<int>{};
    std::vector<int> frames;
    // Only names this pattern would write: 0012 is frame 12 of ####, 012 is not.
    for (const auto& [name, frame] : NumberedNames())
        if (fs::path(PathOf(static_cast<int>(frame))).filename().string() == name) frames.push_back(static_cast<int>(frame));
    std::sort(frames.begin(), frames.end());
    return frames;
}

FramePattern::OtherPadding FramePattern::FileWithOtherPadding() const {
    if (!sequence_) return {};
    for (const auto& [name, frame] : NumberedNames()) {
        const fs::path path(PathOf(static_cast<int>(frame)));
        if (path.filename().string() == name) continue;
        const size_t numberLength = name.size() - fs::path(prefix_ + "x").filename().string().size() + 1 - suffix_.size();
        return {(path.parent_path() / name).string(), numberLength - (frame < 0 ? 1 : 0)};
    }
    return {};
}

}  // namespace taviron::cli
