// Moving a finished file into place so that it survives a power loss: its
// data reaches the disk before the rename, and the rename before we go on.
// Without the first sync a node that loses power can leave a complete-looking
// empty frame under the final name, which a resumed render then skips.
#pragma once

#include <string>

namespace taviron::cli {

// Syncs `from`'s data, renames it to `to` and syncs the folder that holds
// `to`. Returns the reason of the first failure, empty on success; `from` is
// left in place when the rename did not happen.
std::string RenameDurably(const std::string& from, const std::string& to);

}  // namespace taviron::cli
