#include "io/writing/durable_rename.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace taviron::cli {

namespace {

// Syncs what `path` names; the reason of the failure, empty when none. A file
// system that cannot sync a folder (EINVAL) has nothing to flush for it.
std::string Sync(const std::string& path, int flags) {
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
    if (descriptor < 0) return std::strerror(errno);
    std::string failure;
    if (::fsync(descriptor) != 0 && !((flags & O_DIRECTORY) != 0 && errno == EINVAL)) failure = std::strerror(errno);
    if (::close(descriptor) != 0 && failure.empty()) failure = std::strerror(errno);
    return failure;
}

}  // namespace

std::string RenameDurably(const std::string& from, const std::string& to) {
    if (std::string failure = Sync(from, O_RDONLY); !failure.empty()) return failure;
    if (std::rename(from.c_str(), to.c_str()) != 0) return std::strerror(errno);
    const std::filesystem::path folder = std::filesystem::path(to).parent_path();
    return Sync(folder.empty() ? "." : folder.string(), O_RDONLY | O_DIRECTORY);
}

}  // namespace taviron::cli
