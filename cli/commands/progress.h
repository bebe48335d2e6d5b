// Progress of a render: on a terminal, a line on standard error (frame, rate,
// time left); for farm managers that run Open Job Description tasks, its
// messages on standard output (openjd_progress, openjd_status, openjd_fail).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace taviron::cli {

enum class ProgressFormat { Text, OpenJD };

// "text" or "openjd", in any case; anything else is the text format.
ProgressFormat ProgressFormatNamed(const std::string& name);

class Progress {
public:
    // `terminalLine`: the text format's progress line (the messages of the
    // Open Job Description format are printed whatever it says).
    Progress(size_t total, ProgressFormat format, bool terminalLine);
    // An error that leaves the render is printed after this: the line goes first.
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void FrameDone(int frame);
    // A message on a line of its own, clear of the progress line.
    void Report(const std::string& message);
    // Clears the progress line. For a farm manager, says how many frames
    // were written, and that the task failed when some were not.
    void Close(size_t notWritten);
    double Seconds() const;

private:
    void ClearLine();

    size_t total_;
    size_t done_ = 0;
    ProgressFormat format_;
    bool terminalLine_;
    bool closed_ = false;
    std::chrono::steady_clock::time_point start_;
};

// Runs a command; in the Open Job Description format an error it throws is
// also told on standard output as openjd_fail before it travels on.
int ReportingFailure(ProgressFormat format, const std::function<int()>& command);

// One line of the Open Job Description format on standard output, flushed:
// the manager reads it as the task runs.
void PrintOpenJDMessage(const char* kind, const std::string& text);

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace taviron::cli
