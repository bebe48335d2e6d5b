// `taviron info`: what the plug-in registers, read back from the host.
#pragma once

#include <string>

int RunInfo(const std::string& pluginPath, bool json, const std::string& picturePath);
