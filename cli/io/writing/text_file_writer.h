// A small text file written the way frames are: under a temporary name beside
// it, synced and renamed into place, so that it appears only whole, and an
// interrupted program leaves nothing behind.
#pragma once

#include <string>

namespace taviron::cli {

// Throws an output error naming the file and the reason.
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace taviron::cli
