#pragma once
// Test texts are written in UTF-8 and turned into the program's Shift_JIS
// bytes here, so no test depends on how its own source file is read.

#include <string>
#include <string_view>

#include "codeconv/TSjisUnicode.h"

inline std::string Sj(std::string_view utf8) {
    return TSjisUnicode::FromUtf8(utf8);
}
inline std::string Sj(std::u8string_view utf8) {
    return Sj(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}
inline std::string Utf(std::string_view sjis) {
    return TSjisUnicode::ToUtf8(sjis);
}
