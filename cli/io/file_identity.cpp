#include "io/file_identity.h"

#include <sys/stat.h>

#include <filesystem>

namespace taviron::cli {

namespace fs = std::filesystem;

FileIdentity IdentityOf(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) return {status.st_dev, status.st_ino, {}};
    const fs::path absolute = fs::absolute(path).lexically_normal();
    const fs::path folder = absolute.parent_path();
    if (stat(folder.c_str(), &status) == 0) return {status.st_dev, status.st_ino, absolute.filename().string()};
    return {0, 0, absolute.string()};
}

}  // namespace taviron::cli
