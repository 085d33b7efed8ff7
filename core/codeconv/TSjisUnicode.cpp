#include "codeconv/TSjisUnicode.h"

#include "codeconv/TIconv.h"

namespace {

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string TSjisUnicode::ToUtf8(std::string_view sjis) {
    if (IsAscii(sjis)) {
        return std::string(sjis);
    }
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    TIconv::ForThread("UTF-8", "CP932").Convert(sjis, out, &TIconv::SkipSjis);
    return out;
}

std::string TSjisUnicode::FromUtf8(std::string_view utf8) {
    if (IsAscii(utf8)) {
        return std::string(utf8);
    }
    std::string out;
    out.reserve(utf8.size());
    TIconv::ForThread("CP932", "UTF-8").Convert(utf8, out, &TIconv::SkipUtf8);
    return out;
}

std::filesystem::path TSjisUnicode::ToPath(std::string_view sjisPath) {
    return std::filesystem::path(ToUtf8(sjisPath));
}

std::string TSjisUnicode::FromPath(const std::filesystem::path& path) {
    return FromUtf8(path.string());
}
