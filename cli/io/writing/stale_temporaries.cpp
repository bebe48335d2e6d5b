#include "io/writing/stale_temporaries.h"

#include "io/writing/temporary_name.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

namespace taviron::cli {

namespace fs = std::filesystem;

namespace {

bool ProcessIsAlive(pid_t process) { return process > 0 && (kill(process, 0) == 0 || errno == EPERM); }

}  // namespace

size_t RemoveStaleTemporaryFiles(const FramePattern& output, const std::vector<int>& frames) {
    std::set<fs::path> folders;
    std::set<std::string> outputs;  // folder / name
    for (int frame : frames) {
        const fs::path path(output.PathOf(frame));
        folders.insert(path.parent_path());
        outputs.insert(path.string());
        if (!output.IsSequence()) break;
    }
    size_t removed = 0;
    for (const fs::path& folder : folders) {
        std::error_code error;
        for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end; !error && it != end;
             it.increment(error)) {
            const auto temporary = ParseTemporaryName(it->path().filename().string());
            // Another machine's process IDs say nothing about this machine's.
            if (!temporary || temporary->machine != ThisMachineName()) continue;
            if (temporary->process == getpid() || ProcessIsAlive(temporary->process)) continue;
            if (!outputs.count((folder / temporary->outputName).string())) continue;
            std::error_code ignored;
            if (fs::remove(it->path(), ignored)) ++removed;
        }
    }
    return removed;
}

}  // namespace taviron::cli
