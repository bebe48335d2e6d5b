#include "io/writing/output_folders.h"

#include "errors.h"
#include "io/writing/interrupt_cleanup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace taviron::cli {

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const std::string& outputPath) { return fs::path(outputPath).parent_path(); }

CliError CannotMake(const fs::path& folder, const std::string& reason) {
    return OutputError("cannot make the output folder " + folder.string() + ": " + reason);
}

}  // namespace

OutputFolders::~OutputFolders() {
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
        rmdir(folder->c_str());
        UnregisterMadeFolder(*folder);
    }
}

void OutputFolders::CheckCanMake(const std::string& outputPath) {
    const fs::path folder = FolderOf(outputPath);
    if (folder.empty()) return;  // the current folder
    // The deepest part of the folder's path that exists.
    fs::path existing = folder;
    struct stat status {};
    while (stat(existing.c_str(), &status) != 0) {
        if ((errno != ENOENT && errno != ENOTDIR) || existing == ".") throw CannotMake(folder, existing.string() + ": " + std::strerror(errno));
        existing = existing.parent_path();
        if (existing.empty()) existing = ".";
    }
    if (!S_ISDIR(status.st_mode)) throw CannotMake(folder, existing.string() + " is not a folder");
    if (existing == folder) return;
    if (access(existing.c_str(), W_OK | X_OK) != 0)
        throw CannotMake(folder, existing.string() + ": " + std::strerror(errno));
}

void OutputFolders::MakeFor(const std::string& outputPath) {
    const fs::path folder = FolderOf(outputPath);
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error)) return;
    // Parent first, each one remembered if this render made it.
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        if (mkdir(partial.c_str(), 0777) == 0) {
            RegisterMadeFolder(partial.string());
            made_.push_back(partial.string());
        } else if (errno != EEXIST) {
            throw CannotMake(folder, std::strerror(errno));
        }
    }
    if (!fs::is_directory(folder, error)) throw CannotMake(folder, "it is not a folder");
}

}  // namespace taviron::cli
