#include "io/writing/interrupt_cleanup.h"

#include <OpenImageIO/strutil.h>

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace taviron::cli {

namespace {

struct Registry {
    std::mutex mutex;
    std::multiset<std::string> temporaryFiles;
    std::vector<std::string> madeFolders;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

std::atomic<void (*)(const std::string&)> interruptNotice{nullptr};

// Signals whose default action ends the process, but for those that stand
// for a fault of the program itself (SIGSEGV, SIGBUS, SIGILL, SIGFPE,
// SIGABRT, SIGTRAP, SIGSYS), which must keep their default, and for SIGPIPE
// and SIGXFSZ, which are ignored.
sigset_t EndingSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO,
                             SIGPWR, SIGSTKFLT, SIGXCPU})
        sigaddset(&signals, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&signals, signal);
    return signals;
}

std::string NameOf(int signal) {
    if (const char* name = sigabbrev_np(signal)) return std::string("SIG") + name;
    if (signal >= SIGRTMIN && signal <= SIGRTMAX) return OIIO::Strutil::fmt::format("SIGRTMIN+{}", signal - SIGRTMIN);
    return OIIO::Strutil::fmt::format("signal {}", signal);
}

[[noreturn]] void RemoveAndExit(int signal) {
    Registry& registry = TheRegistry();
    // The lock is kept to the end: no writer registers or renames after it.
    registry.mutex.lock();
    for (const std::string& path : registry.temporaryFiles) unlink(path.c_str());
    // Only an empty folder goes: one a file was written into stays.
    for (auto folder = registry.madeFolders.rbegin(); folder != registry.madeFolders.rend(); ++folder)
        rmdir(folder->c_str());
    const std::string reason = "interrupted by " + NameOf(signal) + "; temporary files removed";
    if (const auto notice = interruptNotice.load()) notice(reason);
    const std::string message = "\ntaviron: " + reason + "\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, message.data(), message.size());
    _exit(128 + signal);
}

}  // namespace

void RemoveTemporaryFilesOnInterrupt() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    const sigset_t signals = EndingSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int signal = 0;
        while (sigwait(&signals, &signal) != 0) {
        }
        RemoveAndExit(signal);
    }).detach();
}

void RegisterTemporaryFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    TheRegistry().temporaryFiles.insert(path);
}

void UnregisterTemporaryFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    auto& files = TheRegistry().temporaryFiles;
    const auto found = files.find(path);
    if (found != files.end()) files.erase(found);
}

void RegisterMadeFolder(const std::string& path) {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    TheRegistry().madeFolders.push_back(path);
}

void UnregisterMadeFolder(const std::string& path) {
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    auto& folders = TheRegistry().madeFolders;
    const auto found = std::find(folders.rbegin(), folders.rend(), path);
    if (found != folders.rend()) folders.erase(std::next(found).base());
}

void SetInterruptNotice(void (*notice)(const std::string& message)) { interruptNotice = notice; }

}  // namespace taviron::cli
