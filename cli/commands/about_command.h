// `taviron about`: presses the tool's About button; the box is printed.
#pragma once

#include <string>

int RunAbout(const std::string& pluginPath);
