#include "frame_ranges.h"

#include "errors.h"
#include "io/frame_pattern.h"

#include <OpenImageIO/strutil.h>

#include <cctype>
#include <cstdlib>

namespace taviron::cli {

std::string RangesText(const std::set<int>& frames) {
    std::string text;
    for (auto it = frames.begin(); it != frames.end();) {
        const int first = *it;
        int last = first;
        for (++it; it != frames.end() && static_cast<long long>(*it) == static_cast<long long>(last) + 1; ++it) last = *it;
        text += (text.empty() ? "" : ", ") + std::to_string(first);
        if (last != first) text += "-" + std::to_string(last);
    }
    return text;
}

std::vector<int> ParseRange(const std::string& text) {
    const auto usage = [&] { return UsageError("--range takes FIRST-LAST (e.g. 1001-1100), not \"" + text + "\""); };
    // A frame number at `text[at]`, which may carry a minus sign.
    const auto number = [&](size_t& at) {
        const size_t start = at;
        if (at < text.size() && text[at] == '-') ++at;
        const size_t digits = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        if (at == digits) throw usage();
        const std::string frame = text.substr(start, at - start);
        if (at - digits > 18 || std::llabs(std::stoll(frame)) > kLargestFrameNumber)
            throw UsageError(OIIO::Strutil::fmt::format("--range {}: frame {} is out of range; frame numbers go from -{} to {}",
                                                        text, frame, kLargestFrameNumber, kLargestFrameNumber));
        return std::stoi(frame);
    };
    size_t at = 0;
    const int first = number(at);
    int last = first;
    if (at < text.size()) {
        if (text[at] != '-') throw usage();
        last = number(++at);
        if (at != text.size()) throw usage();
    }
    if (last < first) throw UsageError("--range " + text + " ends before it starts");
    // Far beyond any shot; a typo should not make the frame list take gigabytes.
    constexpr long long MaxFrames = 1000000;
    if (static_cast<long long>(last) - first + 1 > MaxFrames) {
        throw UsageError(OIIO::Strutil::fmt::format("--range {} spans more than {} frames", text, MaxFrames));
    }
    std::vector<int> frames;
    for (long long frame = first; frame <= last; ++frame) frames.push_back(static_cast<int>(frame));
    return frames;
}

}  // namespace taviron::cli
