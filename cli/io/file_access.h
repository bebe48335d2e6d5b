// Why a file cannot be read, in the system's own words ("Permission
// denied", "it is a directory", "it is empty"), which the image library
// words vaguely.
#pragma once

#include <string>

namespace taviron::cli {

// Empty when the file opens for reading and is neither a directory nor empty.
std::string ReasonFileCannotBeRead(const std::string& path);

}  // namespace taviron::cli
