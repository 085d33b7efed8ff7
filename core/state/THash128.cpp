#include "state/THash128.h"

#include <cstring>

namespace {

constexpr std::uint64_t kC1 = 0x87c37b91114253d5ULL;
constexpr std::uint64_t kC2 = 0x4cf5ad432745937fULL;

std::uint64_t Rotl(std::uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

std::uint64_t Mix(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ULL;
    k ^= k >> 33;
    return k;
}

std::uint64_t Load(const char* p) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);  // unaligned and alias-safe
    return v;
}

}  // namespace

THash128::TValue THash128::Of(std::string_view bytes) {
    const char* data = bytes.data();
    const std::size_t blocks = bytes.size() / 16;
    std::uint64_t h1 = 0;
    std::uint64_t h2 = 0;
    for (std::size_t i = 0; i < blocks; ++i) {
        std::uint64_t k1 = Load(data + i * 16);
        std::uint64_t k2 = Load(data + i * 16 + 8);
        h1 ^= Rotl(k1 * kC1, 31) * kC2;
        h1 = (Rotl(h1, 27) + h2) * 5 + 0x52dce729;
        h2 ^= Rotl(k2 * kC2, 33) * kC1;
        h2 = (Rotl(h2, 31) + h1) * 5 + 0x38495ab5;
    }
    const unsigned char* tail = reinterpret_cast<const unsigned char*>(data + blocks * 16);
    const std::size_t rest = bytes.size() & 15;
    std::uint64_t k1 = 0;
    std::uint64_t k2 = 0;
    for (std::size_t i = rest; i > 8; --i) {
        k2 |= std::uint64_t{tail[i - 1]} << ((i - 9) * 8);
    }
    for (std::size_t i = rest < 8 ? rest : 8; i > 0; --i) {
        k1 |= std::uint64_t{tail[i - 1]} << ((i - 1) * 8);
    }
    if (rest > 8) {
        h2 ^= Rotl(k2 * kC2, 33) * kC1;
    }
    if (rest > 0) {
        h1 ^= Rotl(k1 * kC1, 31) * kC2;
    }
    h1 ^= bytes.size();
    h2 ^= bytes.size();
    h1 += h2;
    h2 += h1;
    h1 = Mix(h1);
    h2 = Mix(h2);
    h1 += h2;
    h2 += h1;
    return {h1, h2};
}
