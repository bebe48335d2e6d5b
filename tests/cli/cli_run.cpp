#include "cli_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Contents(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

CliResult Run(const std::string& launcher, const std::vector<std::string>& arguments, const std::string& standardOutput) {
    const ScratchDirectory capture;
    std::string command = "exec " + launcher + Quoted(TAVIRON_PROGRAM_PATH);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted(standardOutput.empty() ? capture / "out" : standardOutput) + " 2>" +
               Quoted(capture / "err") + " </dev/null";
    CliResult result;
    const int status = std::system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = Contents(capture / "out");
    result.err = Contents(capture / "err");
    return result;
}

}  // namespace

CliResult RunTaviron(const std::vector<std::string>& arguments, const std::string& standardOutput) {
    return Run("", arguments, standardOutput);
}

CliResult RunTavironWithin(int seconds, const std::vector<std::string>& arguments) {
    return Run("timeout -s KILL " + std::to_string(seconds) + " ", arguments, "");
}

CliResult RunTavironWithFileSizeLimit(size_t bytes, const std::vector<std::string>& arguments) {
    return Run("prlimit --fsize=" + std::to_string(bytes) + " ", arguments, "");
}

ScratchDirectory::ScratchDirectory() {
    static std::atomic<int> count{0};
    path_ = fs::temp_directory_path() /
            ("taviron-cli-test-" + std::to_string(getpid()) + "-" + std::to_string(count++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::vector<std::string> ScratchDirectory::Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
