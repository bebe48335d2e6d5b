// Why a file cannot be read, in the system's own words ("Permission
// denied", "it is a directory", "it is empty"), which the image library
// words vaguely.
#pragma once

#include <string>

namespace taviron::cli {

// Empty when `path`, after following links, is a regular file. Looks without
// opening: opening a FIFO waits for a writer, and a device such as
// /dev/zero never ends.
std::string ReasonNotARegularFile(const std::string& path);

// Empty when the path is a regular file that opens for reading and is not
// empty.
std::string ReasonFileCannotBeRead(const std::string& path);

}  // namespace taviron::cli
