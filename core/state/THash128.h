#pragma once
// A fast 128-bit hash of bytes (MurmurHash3 x64/128): mail identities and
// the check that a store file only grew. Not for secrets; collisions among
// millions of mails are out of reach at 128 bits.

#include <array>
#include <cstdint>
#include <string_view>

class THash128 {
  public:
    using TValue = std::array<std::uint64_t, 2>;

    static TValue Of(std::string_view bytes);
    // 64 bits of Of(): enough to count Message-IDs in one store.
    static std::uint64_t Of64(std::string_view bytes) { return Of(bytes)[0]; }
};
