#pragma once
// UTF-8 byte-string checks, for text that arrives in UTF-8 at the edges.

#include <cstddef>
#include <string>
#include <string_view>

namespace utf8 {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValid(std::string_view text);

// Appends the UTF-8 bytes of one code point; callers pass a scalar value
// (at most U+10FFFF, no surrogate).
void Append(std::string& out, char32_t c);

}  // namespace utf8
