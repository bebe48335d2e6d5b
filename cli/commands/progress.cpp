#include "commands/progress.h"

#include "printable_line.h"

#include <OpenImageIO/strutil.h>

#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

namespace taviron::cli {

ProgressFormat ProgressFormatNamed(const std::string& name) {
    return strcasecmp(name.c_str(), "openjd") == 0 ? ProgressFormat::OpenJD : ProgressFormat::Text;
}

Progress::Progress(size_t total, ProgressFormat format, bool terminalLine)
    : total_(total), format_(format), terminalLine_(terminalLine), start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_) ClearLine();
}

double Progress::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string Progress::Failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void Progress::Tell(const char* kind, const std::string& text) {
    if (!failure_.empty()) return;
    failure_ = PrintOpenJDMessage(kind, text);
    // Said once, by the render; not again when the program ends.
    if (!failure_.empty()) std::clearerr(stdout);
}

void Progress::FrameDone(int frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    if (format_ == ProgressFormat::OpenJD) {
        char percent[16];
        std::snprintf(percent, sizeof percent, "%.1f", 100.0 * static_cast<double>(done_) / static_cast<double>(total_));
        Tell("openjd_progress", percent);
        Tell("openjd_status", OIIO::Strutil::fmt::format("frame {} ({} of {})", frame, done_, total_));
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
    std::lock_guard<std::mutex> lock(mutex_);
    ClearLine();
    std::fprintf(stderr, "taviron: %s\n", PrintableLine(message).c_str());
}

void Progress::Close(size_t notWritten) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearLine();
    closed_ = true;
    if (format_ != ProgressFormat::OpenJD) return;
    Tell("openjd_status", OIIO::Strutil::fmt::format("{} of {} frames written", total_ - notWritten, total_));
    if (notWritten > 0)
        Tell("openjd_fail", OIIO::Strutil::fmt::format("{} of {} frames not written; the messages before name them", notWritten, total_));
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

std::string PrintOpenJDMessage(const char* kind, const std::string& text) {
    errno = 0;
    if (std::printf("%s: %s\n", kind, PrintableLine(text).c_str()) >= 0 && std::fflush(stdout) == 0) return {};
    return std::string("cannot write to standard output") + (errno ? std::string(": ") + std::strerror(errno) : "");
}

void TellOpenJDFailureNow(const std::string& text) {
    const std::string line = "openjd_fail: " + PrintableLine(text) + "\n";
    pollfd output{STDOUT_FILENO, POLLOUT, 0};
    if (poll(&output, 1, 0) == 1 && (output.revents & POLLOUT)) {
        [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, line.data(), line.size());
    }
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace taviron::cli
