#include "io/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace taviron::cli {

std::string ReasonFileCannotBeRead(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return std::strerror(errno);
    struct stat status {};
    const bool known = fstat(descriptor, &status) == 0;
    close(descriptor);
    if (known && S_ISDIR(status.st_mode)) return "it is a directory";
    if (known && S_ISREG(status.st_mode) && status.st_size == 0) return "it is empty (0 bytes)";
    return "";
}

}  // namespace taviron::cli
