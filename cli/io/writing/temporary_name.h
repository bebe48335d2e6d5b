// The name an output is written under until it is complete: hidden, beside
// it, and carrying the writing machine's name and process ID,
// `.NAME.taviron-HOST-PID.tmp`. Farm nodes share output folders: process IDs
// repeat from machine to machine, so the machine's name keeps two nodes from
// writing one temporary file, and tells whose process ID it is.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace taviron::cli {

// This machine's name as temporary names carry it: letters, digits and '-'.
const std::string& ThisMachineName();

std::string TemporaryNameBeside(const std::string& path, pid_t process);

// The output file name, the writer's machine and process ID of a temporary
// file name (a name without folder); empty for any other name.
struct TemporaryOf {
    std::string outputName;
    std::string machine;
    pid_t process = 0;
};
std::optional<TemporaryOf> ParseTemporaryName(const std::string& name);

}  // namespace taviron::cli
