// `taviron info`: what the plug-in registers, read back from the host.
#pragma once

#include <string>

namespace taviron::cli {

int RunInfo(const std::string& pluginPath, bool json, const std::string& picturePath);

}  // namespace taviron::cli
