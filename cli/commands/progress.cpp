#include "commands/progress.h"

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>

namespace taviron::cli {

ProgressFormat ProgressFormatNamed(const std::string& name) {
    return strcasecmp(name.c_str(), "openjd") == 0 ? ProgressFormat::OpenJD : ProgressFormat::Text;
}

Progress::Progress(size_t total, ProgressFormat format, bool terminalLine)
    : total_(total), format_(format), terminalLine_(terminalLine), start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
    if (!closed_) ClearLine();
}

double Progress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::FrameDone(int frame) {
    ++done_;
    if (format_ == ProgressFormat::OpenJD) {
        char percent[16];
        std::snprintf(percent, sizeof percent, "%.1f", 100.0 * static_cast<double>(done_) / static_cast<double>(total_));
        PrintOpenJDMessage("openjd_progress", percent);
        PrintOpenJDMessage("openjd_status",
                           "frame " + std::to_string(frame) + " (" + std::to_string(done_) + " of " +
                               std::to_string(total_) + ")");
    }
    if (!terminalLine_) return;
    const double seconds = Seconds();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0.0;
    const double left = rate > 0 ? static_cast<double>(total_ - done_) / rate : 0.0;
    std::fprintf(stderr, "\rframe %d (%zu/%zu)  %.2f fps  %.0f s left   ", frame, done_, total_, rate, left);
    std::fflush(stderr);
}

void Progress::ClearLine() {
    if (terminalLine_ && done_ > 0) std::fprintf(stderr, "\r%60s\r", "");
}

void Progress::Report(const std::string& message) {
    ClearLine();
    std::fprintf(stderr, "taviron: %s\n", message.c_str());
}

void Progress::Close(size_t notWritten) {
    ClearLine();
    closed_ = true;
    if (format_ != ProgressFormat::OpenJD) return;
    const std::string total = std::to_string(total_);
    PrintOpenJDMessage("openjd_status", std::to_string(total_ - notWritten) + " of " + total + " frames written");
    if (notWritten > 0)
        PrintOpenJDMessage("openjd_fail", std::to_string(notWritten) + " of " + total +
                                              " frames not written; the messages before name them");
}

int ReportingFailure(ProgressFormat format, const std::function<int()>& command) {
    if (format != ProgressFormat::OpenJD) return command();
    try {
        return command();
    } catch (const std::bad_alloc&) {
        PrintOpenJDMessage("openjd_fail", "out of memory");
        throw;
    } catch (const std::exception& error) {
        PrintOpenJDMessage("openjd_fail", error.what());
        throw;
    }
}

void PrintOpenJDMessage(const char* kind, const std::string& text) {
    std::printf("%s: %s\n", kind, text.c_str());
    std::fflush(stdout);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace taviron::cli
