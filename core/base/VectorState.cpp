#include "base/VectorState.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace {

__attribute__((target("avx"))) void ZeroUpper() {
    _mm256_zeroupper();
}

}  // namespace

void vecstate::ClearUpperHalves() {
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx) {
        ZeroUpper();
    }
}

#else

void vecstate::ClearUpperHalves() {}

#endif
