#include "codeconv/TIconv.h"

#include <cerrno>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/SjisText.h"

TIconv::TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
        if (errno == ENOMEM) {
            throw std::bad_alloc();
        }
        throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
    }
}

TIconv::~TIconv() {
    iconv_close(cd_);
}

void TIconv::Reset() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
}

void TIconv::Convert(std::string_view in, std::string& out, SkipFn skip,
                     std::string_view replacement) {
    Reset();
    char* src = const_cast<char*>(in.data());  // iconv's signature is not const-correct
    std::size_t srcLeft = in.size();
    char buffer[4096];
    while (true) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd_, srcLeft ? &src : nullptr, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (rc != static_cast<std::size_t>(-1)) {
            if (srcLeft == 0) {
                // Flush any shift state, then done.
                dst = buffer;
                dstLeft = sizeof buffer;
                iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
                out.append(buffer, dst - buffer);
                return;
            }
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ (unreadable or unrepresentable) or EINVAL (cut at the end).
        out.append(replacement);
        if (errno == EINVAL) {
            return;
        }
        const std::size_t n = std::max<std::size_t>(1, skip(std::string_view(src, srcLeft)));
        const std::size_t step = std::min(n, srcLeft);
        src += step;
        srcLeft -= step;
        if (srcLeft == 0) {
            return;
        }
    }
}

TIconv& TIconv::ForThread(const char* to, const char* from) {
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<TIconv>> cache;
    auto& slot = cache[{to, from}];
    if (!slot) {
        slot = std::make_unique<TIconv>(to, from);
    }
    return *slot;
}

std::size_t TIconv::SkipUtf8(std::string_view rest) {
    if (rest.empty()) {
        return 0;
    }
    const auto c = static_cast<unsigned char>(rest[0]);
    std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    // Do not swallow bytes that are not continuation bytes.
    std::size_t i = 1;
    while (i < n && i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) {
        ++i;
    }
    return i;
}

std::size_t TIconv::SkipSjis(std::string_view rest) {
    if (rest.size() >= 2 && sjis::IsLeadByte(static_cast<unsigned char>(rest[0])) &&
        sjis::IsTrailByte(static_cast<unsigned char>(rest[1]))) {
        return 2;
    }
    return rest.empty() ? 0 : 1;
}

std::size_t TIconv::SkipOne(std::string_view rest) {
    return rest.empty() ? 0 : 1;
}
