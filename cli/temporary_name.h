// The name an output is written under until it is complete: hidden, beside
// it, and carrying the writing process's ID, `.NAME.taviron-PID.tmp`.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

std::string TemporaryNameBeside(const std::string& path, pid_t process);

// The output file name and the writer's process ID of a temporary file name
// (a name without folder); empty for any other name.
struct TemporaryOf {
    std::string outputName;
    pid_t process = 0;
};
std::optional<TemporaryOf> ParseTemporaryName(const std::string& name);
