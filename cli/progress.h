// Progress of a render on standard error (frame, rate, time left), shown
// only on a terminal, and the one-line summary at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class Progress {
public:
    Progress(size_t total, bool show);
    void FrameDone(int frame);
    // A message on a line of its own, clear of the progress line.
    void Report(const std::string& message);
    // Clears the progress line.
    void Close();
    double Seconds() const;

private:
    size_t total_;
    size_t done_ = 0;
    bool show_;
    std::chrono::steady_clock::time_point start_;
};

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();
