// Errors of the command line, each carrying the exit status that tells a
// script what went wrong: the command line itself, something it reads, or
// something it writes.
#pragma once

#include <stdexcept>
#include <string>

namespace taviron::cli {

enum class ExitStatus : int {
    Ok = 0,
    Usage = 1,
    Input = 2,
    Output = 3,
};

class CliError : public std::runtime_error {
public:
    CliError(ExitStatus status, const std::string& message) : std::runtime_error(message), status_(status) {}
    ExitStatus Status() const { return status_; }

private:
    ExitStatus status_;
};

inline CliError UsageError(const std::string& message) { return {ExitStatus::Usage, message}; }
inline CliError InputError(const std::string& message) { return {ExitStatus::Input, message}; }
inline CliError OutputError(const std::string& message) { return {ExitStatus::Output, message}; }

// A library's message of several lines, e.g. a general reason and then the
// format's own, as one line for ours.
inline std::string OneLine(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, "; ");
    return text;
}

}  // namespace taviron::cli
