// `taviron demo`: a synthetic noisy clip cleaned by a median through the
// plug-in, written out with a before/after picture.
#pragma once

#include <string>

namespace taviron::cli {

int RunDemo(const std::string& pluginPath, const std::string& directory);

}  // namespace taviron::cli
