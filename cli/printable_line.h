// Messages are read line by line, by people and by farm managers that take
// every line beginning "openjd_" as a message of their own: a newline in a
// file name must not end a message and start a forged one.
#pragma once

#include <string>

namespace taviron::cli {

// `text` as one line: control characters shown as \n, \r, \t or \xNN;
// everything else, UTF-8 included, as it is.
std::string PrintableLine(const std::string& text);

}  // namespace taviron::cli
