#include "system_call_faults.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <utility>

namespace {

std::mutex mutex;
std::vector<std::string> calls;
std::atomic<int> closeFailure{0};
std::atomic<int> fsyncFailure{0};

template <typename Function>
Function Next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string PathOf(int descriptor) {
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", descriptor);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string("?");
}

void Log(std::string call) {
    std::lock_guard<std::mutex> lock(mutex);
    calls.push_back(std::move(call));
}

}  // namespace

std::vector<std::string> TakeFileCalls() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(calls, {});
}

void FailNextClose(int error) { closeFailure = error; }
void FailNextFsync(int error) { fsyncFailure = error; }

extern "C" int close(int descriptor) {
    static const auto real = Next<int (*)(int)>("close");
    const int error = closeFailure.exchange(0);
    if (error == 0) return real(descriptor);
    Log("close " + PathOf(descriptor));
    real(descriptor);
    errno = error;
    return -1;
}

extern "C" int fsync(int descriptor) {
    static const auto real = Next<int (*)(int)>("fsync");
    Log("fsync " + PathOf(descriptor));
    if (const int error = fsyncFailure.exchange(0)) {
        errno = error;
        return -1;
    }
    return real(descriptor);
}

extern "C" int rename(const char* from, const char* to) {
    static const auto real = Next<int (*)(const char*, const char*)>("rename");
    Log(std::string("rename ") + from + " " + to);
    return real(from, to);
}
