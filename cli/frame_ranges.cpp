#include "frame_ranges.h"

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

}  // namespace taviron::cli
