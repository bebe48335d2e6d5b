// Frame numbers as a person reads and writes them: "1004-1006, 1010".
#pragma once

#include <set>
#include <string>
#include <vector>

namespace taviron::cli {

std::string RangesText(const std::set<int>& frames);

// The frames of --range's "FIRST-LAST" or "FRAME", in order; throws a usage
// error naming the text.
std::vector<int> ParseRange(const std::string& text);

}  // namespace taviron::cli
