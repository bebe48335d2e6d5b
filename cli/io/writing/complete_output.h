// Whether an output frame is already done, for a resumed render: outputs
// appear under their names only when complete, yet a file can still be cut
// short afterwards (a full disk, a copy stopped half way), so a frame counts
// as done only when every pixel of it decodes. A temporary file never does,
// it has another name.
#pragma once

#include <string>

namespace taviron::cli {

bool CompleteOutputExists(const std::string& path);

}  // namespace taviron::cli
