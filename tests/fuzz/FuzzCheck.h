#pragma once
// A property a fuzz target asserts: a broken one must stop the fuzzer with
// the input that broke it, also in release builds where assert is off.

#include <cstdlib>

inline void FuzzCheck(bool ok) {
    if (!ok) {
        std::abort();
    }
}
