// Whether an output frame is already there, for a resumed render: outputs
// appear under their names only when complete, so an image file whose header
// reads counts; a temporary file never does, it has another name.
#pragma once

#include <string>

namespace taviron::cli {

bool CompleteOutputExists(const std::string& path);

}  // namespace taviron::cli
