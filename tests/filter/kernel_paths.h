// Runs a test once on each kernel path: SSE2, AVX2 and AVX-512. A path this
// CPU lacks is skipped; the path active before the test is restored after it.
#pragma once

#include <filter/kernel_path.h>

#include <gtest/gtest.h>

#include <string>

class OnEachKernelPath : public ::testing::TestWithParam<taviron::KernelPath> {
protected:
    void SetUp() override {
        if (!taviron::KernelPathAvailable(GetParam())) {
            GTEST_SKIP() << "this CPU has no " << taviron::KernelPathName(GetParam());
        }
        taviron::ForceKernelPath(GetParam());
    }
    void TearDown() override { taviron::ForceKernelPath(previous_); }

private:
    taviron::KernelPath previous_ = taviron::ActiveKernelPath();
};

inline std::string KernelPathTestName(const ::testing::TestParamInfo<taviron::KernelPath>& info) {
    return taviron::KernelPathName(info.param);
}

#define INSTANTIATE_ON_EACH_KERNEL_PATH(suite)                                                               \
    INSTANTIATE_TEST_SUITE_P(, suite,                                                                        \
                             ::testing::Values(taviron::KernelPath::Sse2, taviron::KernelPath::Avx2,         \
                                               taviron::KernelPath::Avx512),                                 \
                             KernelPathTestName)
