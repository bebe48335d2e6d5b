// Frame numbers as a person reads them: "1004-1006, 1010".
#pragma once

#include <set>
#include <string>

namespace taviron::cli {

std::string RangesText(const std::set<int>& frames);

}  // namespace taviron::cli
