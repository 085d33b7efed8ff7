#pragma once
// RAII handle on one glibc iconv descriptor. Descriptors are costly to open,
// so callers take them from ForThread(), which keeps one per thread and
// encoding pair for the life of the thread.

#include <iconv.h>

#include <string>
#include <string_view>

class TIconv {
  public:
    // How many input bytes to skip when the input holds a byte sequence the
    // source encoding cannot read: returns the length of the bad character.
    using SkipFn = std::size_t (*)(std::string_view rest);

    TIconv(const char* to, const char* from);  // throws std::runtime_error
    ~TIconv();
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    // Converts `in` and appends to `out`. A character that cannot be read or
    // cannot be held by the target becomes `replacement` (one per character).
    void Convert(std::string_view in, std::string& out, SkipFn skip,
                 std::string_view replacement = "?");

    static TIconv& ForThread(const char* to, const char* from);

    // Skip functions for common source encodings.
    static std::size_t SkipUtf8(std::string_view rest);
    static std::size_t SkipSjis(std::string_view rest);
    static std::size_t SkipOne(std::string_view rest);

  private:
    void Reset();
    iconv_t cd_;
};
