#pragma once
// UTF-8 byte-string checks, for text that arrives in UTF-8 at the edges.

#include <cstddef>
#include <string_view>

namespace utf8 {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValid(std::string_view text);

}  // namespace utf8
