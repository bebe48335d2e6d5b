// Which instruction set the row kernel runs on. Every path gives the same
// pixels; the widest one the CPU has is taken unless the environment variable
// TAVIRON_KERNEL (sse2, avx2 or avx512, read once) or ForceKernelPath names
// another that it has.
#pragma once

#include <filter/tile_job.h>

namespace taviron {

enum class KernelPath {
    Sse2,
    Avx2,
    Avx512,
};

bool KernelPathAvailable(KernelPath path);
const char* KernelPathName(KernelPath path);

// The path rows take unless one is forced: TAVIRON_KERNEL's as the
// environment names it now, else the widest this CPU has.
KernelPath DefaultKernelPath();

// For tests and benchmarks: every later row runs on `path`. Throws
// std::invalid_argument when this CPU lacks it.
void ForceKernelPath(KernelPath path);
// The forced path, else the default path as it was at the first call.
KernelPath ActiveKernelPath();

using TileKernel = void (*)(const TileJob&);
TileKernel ActiveTileKernel();

}  // namespace taviron
