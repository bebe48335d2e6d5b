// Choosing the kernel path: every path the CPU has can be forced, one it
// lacks cannot, and the baseline is always there.
#include <filter/kernel_path.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using taviron::KernelPath;

TEST(FilterKernelPath, TheBaselineIsAlwaysAvailable) {
    EXPECT_TRUE(taviron::KernelPathAvailable(KernelPath::Sse2));
    EXPECT_TRUE(taviron::KernelPathAvailable(taviron::ActiveKernelPath()));
}

TEST(FilterKernelPath, ForcingTakesAvailablePathsAndRefusesOthers) {
    const KernelPath before = taviron::ActiveKernelPath();
    for (KernelPath path : {KernelPath::Sse2, KernelPath::Avx2, KernelPath::Avx512}) {
        if (taviron::KernelPathAvailable(path)) {
            taviron::ForceKernelPath(path);
            EXPECT_EQ(taviron::ActiveKernelPath(), path);
        } else {
            EXPECT_THROW(taviron::ForceKernelPath(path), std::invalid_argument);
            EXPECT_NE(taviron::ActiveKernelPath(), path);
        }
    }
    taviron::ForceKernelPath(before);
}

void SetKernelVariable(const char* value) {
#if defined(_WIN32)
    _putenv_s("TAVIRON_KERNEL", value == nullptr ? "" : value);
#else
    if (value == nullptr) {
        unsetenv("TAVIRON_KERNEL");
    } else {
        setenv("TAVIRON_KERNEL", value, 1);
    }
#endif
}

TEST(FilterKernelPath, DefaultIsTheWidestUnlessTheEnvironmentNamesAnother) {
    const char* set = std::getenv("TAVIRON_KERNEL");
    const std::string before = set == nullptr ? "" : set;
    const KernelPath widest = taviron::KernelPathAvailable(KernelPath::Avx512) ? KernelPath::Avx512
                              : taviron::KernelPathAvailable(KernelPath::Avx2) ? KernelPath::Avx2
                                                                               : KernelPath::Sse2;
    SetKernelVariable(nullptr);
    EXPECT_EQ(taviron::DefaultKernelPath(), widest);
    SetKernelVariable("sse2");
    EXPECT_EQ(taviron::DefaultKernelPath(), KernelPath::Sse2);
    SetKernelVariable("neon");
    EXPECT_EQ(taviron::DefaultKernelPath(), widest);
    SetKernelVariable(before.empty() ? nullptr : before.c_str());
}

TEST(FilterKernelPath, NamesAreTheEnvironmentValues) {
    EXPECT_EQ(std::string(taviron::KernelPathName(KernelPath::Sse2)), "sse2");
    EXPECT_EQ(std::string(taviron::KernelPathName(KernelPath::Avx2)), "avx2");
    EXPECT_EQ(std::string(taviron::KernelPathName(KernelPath::Avx512)), "avx512");
}

}  // namespace
