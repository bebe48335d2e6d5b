// Running the taviron program as a user would, and a scratch directory for
// each test.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// With `standardOutput`, the program's output goes to that file instead of
// being captured.
CliResult RunTaviron(const std::vector<std::string>& arguments, const std::string& standardOutput = "");
// Killed after `seconds`, for a program that might wait for ever.
CliResult RunTavironWithin(int seconds, const std::vector<std::string>& arguments);
// No file the program writes may grow beyond `bytes` (RLIMIT_FSIZE): a disk
// that refuses large files while it takes small ones.
CliResult RunTavironWithFileSizeLimit(size_t bytes, const std::vector<std::string>& arguments);

// A fresh directory, removed with everything in it at the end.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::string Path() const { return path_.string(); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Names of the files in it, sorted.
    std::vector<std::string> Files() const;

private:
    std::filesystem::path path_;
};
