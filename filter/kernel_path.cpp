#include <filter/kernel_path.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>

namespace taviron {
namespace {

constexpr KernelPath kWidestFirst[] = {KernelPath::Avx512, KernelPath::Avx2, KernelPath::Sse2};

KernelPath WidestAvailable() {
    for (KernelPath path : kWidestFirst) {
        if (KernelPathAvailable(path)) {
            return path;
        }
    }
    return KernelPath::Sse2;
}

constexpr int kNotForced = -1;
std::atomic<int> forcedPath{kNotForced};

}  // namespace

// TAVIRON_KERNEL when it names a path this CPU has, else the widest.
KernelPath DefaultKernelPath() {
    const char* wanted = std::getenv("TAVIRON_KERNEL");
    if (wanted != nullptr) {
        for (KernelPath path : kWidestFirst) {
            if (std::strcmp(wanted, KernelPathName(path)) == 0 && KernelPathAvailable(path)) {
                return path;
            }
        }
    }
    return WidestAvailable();
}

bool KernelPathAvailable(KernelPath path) {
    __builtin_cpu_init();
    switch (path) {
    case KernelPath::Sse2:
        return true;
    case KernelPath::Avx2:
        return __builtin_cpu_supports("avx2");
    case KernelPath::Avx512:
        return __builtin_cpu_supports("avx512f");
    }
    return false;
}

const char* KernelPathName(KernelPath path) {
    switch (path) {
    case KernelPath::Sse2:
        return "sse2";
    case KernelPath::Avx2:
        return "avx2";
    case KernelPath::Avx512:
        return "avx512";
    }
    return "";
}

void ForceKernelPath(KernelPath path) {
    if (!KernelPathAvailable(path)) {
        std::ostringstream message;
        message << "this CPU has no " << KernelPathName(path);
        throw std::invalid_argument(message.str());
    }
    forcedPath.store(static_cast<int>(path), std::memory_order_relaxed);
}

KernelPath ActiveKernelPath() {
    const int forced = forcedPath.load(std::memory_order_relaxed);
    if (forced != kNotForced) {
        return static_cast<KernelPath>(forced);
    }
    static const KernelPath fromEnvironment = DefaultKernelPath();
    return fromEnvironment;
}

TileKernel ActiveTileKernel() {
    switch (ActiveKernelPath()) {
    case KernelPath::Avx512:
        return &FilterTileAvx512;
    case KernelPath::Avx2:
        return &FilterTileAvx2;
    case KernelPath::Sse2:
        break;
    }
    return &FilterTileSse2;
}

}  // namespace taviron
