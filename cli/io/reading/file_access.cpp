#include "io/reading/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace taviron::cli {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return nullptr;
}

}  // namespace

std::string ReasonNotARegularFile(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
    if (S_ISREG(status.st_mode)) return "";
    if (S_ISDIR(status.st_mode)) return "it is a directory";
    const char* kind = KindOf(status.st_mode);
    return kind ? "it is " + std::string(kind) + ", not a regular file" : "it is not a regular file";
}

std::string ReasonFileCannotBeRead(const std::string& path) {
    if (std::string reason = ReasonNotARegularFile(path); !reason.empty()) return reason;
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::strerror(errno);
    struct stat status {};
    const bool known = fstat(descriptor, &status) == 0;
    close(descriptor);
    if (known && status.st_size == 0) return "it is empty (0 bytes)";
    return "";
}

}  // namespace taviron::cli
