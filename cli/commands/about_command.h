// `taviron about`: presses the tool's About button; the box is printed.
#pragma once

#include <string>

namespace taviron::cli {

int RunAbout(const std::string& pluginPath);

}  // namespace taviron::cli
