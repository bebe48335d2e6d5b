// Numbers in messages as a person writes them: 250, 0.1, 1e+09, never
// 250.000000.
#pragma once

#include <string>

namespace taviron::cli {

// The shortest text that reads back as `value`.
std::string NumberText(double value);

}  // namespace taviron::cli
