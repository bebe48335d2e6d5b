#include "hosting/track_file.h"

#include "errors.h"
#include "io/reading/file_access.h"
#include "number_text.h"

#include <OpenImageIO/strutil.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace taviron::cli {

namespace {

std::string Trimmed(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    return text.substr(first, last - first);
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ',')) fields.push_back(Trimmed(field));
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

bool ParseFrame(const std::string& text, int& frame) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    frame = static_cast<int>(value);
    return true;
}

bool ParseCoordinate(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

// Names of columns, not a point: the first field is no frame number but
// words ("3,nan,nan" is a point with bad coordinates).
bool LooksLikeHeader(const std::vector<std::string>& fields) {
    int frame = 0;
    if (fields.empty() || ParseFrame(fields[0], frame)) return false;
    for (char c : fields[0])
        if (std::isalpha(static_cast<unsigned char>(c))) return true;
    return false;
}

// The line as a message may show it: printable, other bytes as \xNN, and
// short.
std::string Shown(const std::string& line) {
    constexpr size_t kShown = 60;
    std::string text;
    size_t i = 0;
    for (; i < line.size() && text.size() < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return i < line.size() ? text + "..." : text;
}

// What spreadsheets and some editors put before the first line of a UTF-8
// file.
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool StartsWithByteOrderMark(const std::string& line) { return line.rfind(kByteOrderMark, 0) == 0; }

[[noreturn]] void ThrowUnreadable(const std::string& path) {
    std::string reason = ReasonFileCannotBeRead(path);
    if (reason.empty()) reason = std::strerror(errno);
    throw InputError("cannot read track file " + path + ": " + reason);
}

// A point's coordinates can be read but are not numbers a frame can use.
bool HasUnusableCoordinate(const std::vector<std::string>& fields) {
    if (fields.size() != 3) return false;
    for (size_t i = 1; i < 3; ++i) {
        char* end = nullptr;
        const double value = std::strtod(fields[i].c_str(), &end);
        if (!fields[i].empty() && *end == '\0' && !std::isfinite(value)) return true;
    }
    return false;
}

}  // namespace

TrackData ReadTrackFile(const std::string& path) {
    if (const std::string reason = ReasonNotARegularFile(path); !reason.empty())
        throw InputError("cannot read track file " + path + ": " + reason);
    std::ifstream file(path);
    if (!file) ThrowUnreadable(path);
    TrackData track;
    std::string line;
    std::string header;
    bool seenData = false;
    for (int lineNumber = 1; std::getline(file, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber == 1 && StartsWithByteOrderMark(line)) line.erase(0, sizeof kByteOrderMark - 1);
        if (Trimmed(line).empty()) continue;
        const std::vector<std::string> fields = Fields(line);
        int frame = 0;
        TrackPoint point;
        const bool valid = fields.size() == 3 && ParseFrame(fields[0], frame) && ParseCoordinate(fields[1], point.x) &&
                           ParseCoordinate(fields[2], point.y);
        if (!valid) {
            if (!seenData && track.empty() && LooksLikeHeader(fields)) {
                seenData = true;  // one header, before any point
                header = line;
                continue;
            }
            const std::string where = OIIO::Strutil::fmt::format("{}:{}: ", path, lineNumber);
            if (StartsWithByteOrderMark(line))
                throw InputError(where + "a byte-order mark (bytes EF BB BF) begins the line \"" + Shown(line) +
                                 "\", as when a file is joined onto another; remove it");
            if (HasUnusableCoordinate(fields))
                throw InputError(where + "x and y must be finite numbers, not \"" + Shown(line) + "\"");
            throw InputError(where + "expected frame,x,y but found \"" + Shown(line) + "\"");
        }
        if (!track.emplace(frame, point).second)
            throw InputError(OIIO::Strutil::fmt::format("{}:{}: frame {} is tracked twice", path, lineNumber, frame));
        seenData = true;
    }
    if (file.bad()) ThrowUnreadable(path);
    if (track.empty())
        throw InputError("the track file " + path + " holds no point" +
                         (header.empty() ? "" : ", only the line \"" + Shown(header) + "\" taken for column names") +
                         "; each point is a line frame,x,y with a whole frame number");
    return track;
}

std::string TrackFileText(const TrackData& track) {
    std::string text = "frame,x,y\n";
    for (const auto& [frame, point] : track)
        text += std::to_string(frame) + ',' + NumberText(point.x) + ',' + NumberText(point.y) + '\n';
    return text;
}

TrackData ToolPoints(TrackData track, TrackConvention convention) {
    if (convention == TrackConvention::Feature)
        for (auto& [frame, point] : track) point = {-point.x, -point.y};
    return track;
}

}  // namespace taviron::cli
