#include "progress.h"

#include <unistd.h>

#include <cstdio>

Progress::Progress(size_t total, bool show) : total_(total), show_(show), start_(std::chrono::steady_clock::now()) {}

double Progress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::FrameDone(int frame) {
    ++done_;
    if (!show_) return;
    const double seconds = Seconds();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0.0;
    const double left = rate > 0 ? static_cast<double>(total_ - done_) / rate : 0.0;
    std::fprintf(stderr, "\rframe %d (%zu/%zu)  %.2f fps  %.0f s left   ", frame, done_, total_, rate, left);
    std::fflush(stderr);
}

void Progress::Report(const std::string& message) {
    Close();
    std::fprintf(stderr, "taviron: %s\n", message.c_str());
}

void Progress::Close() {
    if (show_ && done_ > 0) std::fprintf(stderr, "\r%60s\r", "");
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }
