// Progress of a render: on a terminal, a line on standard error (frame, rate,
// time left); for farm managers that run Open Job Description tasks, its
// messages on standard output (openjd_progress, openjd_status, openjd_fail).
// A frame is told once its file is complete under its own name, which a
// manager may then take: the writers tell it, from their own threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

namespace taviron::cli {

enum class ProgressFormat {
    Text,
    OpenJD,
};

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
    // `frame`'s file is complete; from any thread.
    void FrameDone(int frame);
    // A message on a line of its own, clear of the progress line.
    void Report(const std::string& message);
    // Clears the progress line. For a farm manager, says how many frames
    // were written, and that the task failed when some were not.
    void Close(size_t notWritten);
    double Seconds() const;
    // Why the messages could not reach the manager (its end of standard
    // output closed), or empty. The render stops when it is not.
    std::string Failure() const;

private:
    // With the lock held.
    void Tell(const char* kind, const std::string& text);
    void ClearLine();

    mutable std::mutex mutex_;
    size_t total_;
    size_t done_ = 0;
    ProgressFormat format_;
    bool terminalLine_;
    bool closed_ = false;
    std::string failure_;
    std::chrono::steady_clock::time_point start_;
};

// Runs a command; in the Open Job Description format an error it throws is
// also told on standard output as openjd_fail before it travels on.
int ReportingFailure(ProgressFormat format, const std::function<int()>& command);

// One line of the Open Job Description format on standard output, flushed:
// the manager reads it as the task runs. The reason it could not be written,
// or empty.
std::string PrintOpenJDMessage(const char* kind, const std::string& text);

// The failure line, for an interrupted render whose other threads may be
// anywhere: written at once if standard output can take it, never waiting.
void TellOpenJDFailureNow(const std::string& text);

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

}  // namespace taviron::cli
