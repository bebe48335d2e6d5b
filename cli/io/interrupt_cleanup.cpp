#include "io/interrupt_cleanup.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

namespace taviron::cli {

namespace {

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::multiset<std::string>& Registry() {
    static std::multiset<std::string> paths;
    return paths;
}

sigset_t InterruptSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    return signals;
}

const char* NameOf(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
    }
}

[[noreturn]] void RemoveAndExit(int signal) {
    // The lock is kept to the end: no writer registers or renames after it.
    RegistryMutex().lock();
    for (const std::string& path : Registry()) unlink(path.c_str());
    const std::string message =
        std::string("\ntaviron: interrupted by ") + NameOf(signal) + "; temporary files removed\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, message.data(), message.size());
    _exit(128 + signal);
}

}  // namespace

void RemoveTemporaryFilesOnInterrupt() {
    const sigset_t signals = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int signal = 0;
        while (sigwait(&signals, &signal) != 0) {
        }
        RemoveAndExit(signal);
    }).detach();
}

void RegisterTemporaryFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().insert(path);
}

void UnregisterTemporaryFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    const auto found = Registry().find(path);
    if (found != Registry().end()) Registry().erase(found);
}

}  // namespace taviron::cli
