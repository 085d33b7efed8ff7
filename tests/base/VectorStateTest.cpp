#include "base/VectorState.h"

#include <gtest/gtest.h>

#if defined(__x86_64__)
#include <cpuid.h>

namespace {

// Whether XGETBV can report which register states are in use.
bool CanReadInUse() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) {
        return false;
    }
    return __get_cpuid_count(0xD, 1, &a, &b, &c, &d) && (a & (1u << 2)) != 0;
}

// Bit 2: the upper halves of the YMM registers hold something.
bool UpperHalvesInUse() {
    unsigned lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
    return (lo & 4u) != 0;
}

bool DirtyUpperHalves() {
    __asm__ volatile("vpcmpeqd %%ymm0, %%ymm0, %%ymm0" ::: "xmm0");
    return UpperHalvesInUse();
}

}  // namespace

TEST(VectorState, ClearsUpperHalvesLeftInUse) {
    if (!CanReadInUse() || !DirtyUpperHalves()) {
        GTEST_SKIP() << "the processor does not report the upper halves in use";
    }
    vecstate::ClearUpperHalves();
    EXPECT_FALSE(UpperHalvesInUse());
}

#endif
