#include "io/writing/checked_output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace taviron::cli {

CheckedOutputFile::CheckedOutputFile(const std::string& path) : IOProxy(path, Write) {
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (descriptor_ < 0) {
        Fail(errno);
        m_mode = Closed;
    }
}

CheckedOutputFile::~CheckedOutputFile() { close(); }

size_t CheckedOutputFile::read(void* buffer, size_t size) {
    const size_t done = pread(buffer, size, m_pos);
    m_pos += static_cast<int64_t>(done);
    return done;
}

size_t CheckedOutputFile::pread(void* buffer, size_t size, int64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (descriptor_ >= 0 && done < size) {
        const ssize_t got = ::pread(descriptor_, bytes + done, size - done, offset + static_cast<int64_t>(done));
        if (got > 0) done += static_cast<size_t>(got);
        else if (got == 0 || errno != EINTR) break;
    }
    return done;
}

size_t CheckedOutputFile::write(const void* buffer, size_t size) {
    const size_t written = pwrite(buffer, size, m_pos);
    m_pos += static_cast<int64_t>(written);
    return written;
}

size_t CheckedOutputFile::pwrite(const void* buffer, size_t size, int64_t offset) {
    const auto* bytes = static_cast<const char*>(buffer);
    size_t done = 0;
    while (descriptor_ >= 0 && failure_.empty() && done < size) {
        const ssize_t written = ::pwrite(descriptor_, bytes + done, size - done, offset + static_cast<int64_t>(done));
        if (written > 0) done += static_cast<size_t>(written);
        else if (written == 0) Fail(ENOSPC);
        else if (errno != EINTR) Fail(errno);
    }
    return done;
}

size_t CheckedOutputFile::size() const {
    struct stat status {};
    return descriptor_ >= 0 && fstat(descriptor_, &status) == 0 ? static_cast<size_t>(status.st_size) : 0;
}

void CheckedOutputFile::close() {
    if (descriptor_ < 0) return;
    // Network file systems may report a full disk or quota only here.
    if (::close(descriptor_) != 0) Fail(errno);
    descriptor_ = -1;
    m_mode = Closed;
}

std::string CheckedOutputFile::Finish() {
    close();
    return failure_;
}

void CheckedOutputFile::Fail(int code) {
    if (failure_.empty()) failure_ = std::strerror(code);
    IOProxy::error(failure_);
}

}  // namespace taviron::cli
