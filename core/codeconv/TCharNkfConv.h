#pragma once
// The converter every mail owns: the built-in decoders of TCharCodeConv plus
// code-page conversion of bodies (ConvertText) and decoding of header values
// (DecodeHeader). Charset work goes to the kanji-filter library when it is
// beside the program, otherwise to TCodePageConv.

#include <filesystem>
#include <string>
#include <string_view>

#include "codeconv/CNkf.h"
#include "codeconv/TCharCodeConv.h"
#include "codeconv/TCodePageConv.h"

class TCharNkfConv : public TCharCodeConv {
  public:
    // Transfer decodings that ConvertText accepts besides the code pages.
    static constexpr int kQuotedPrintable = 99998;
    static constexpr int kBase64 = 99999;

    TCharNkfConv();  // loads the library from the program's folder if present
    explicit TCharNkfConv(const std::filesystem::path& nkfLibrary);
    ~TCharNkfConv() override;
    TCharNkfConv(const TCharNkfConv&) = delete;
    TCharNkfConv& operator=(const TCharNkfConv&) = delete;

    // `text` in `mode` (932, 1252, 50222, 51932, 65000, 65001, 99998, 99999)
    // to Shift_JIS. Raises TKestrifyError only when no converter can be set up.
    std::string ConvertText(std::string_view text, int mode) const;
    // The same, appended to `out`.
    void AppendText(std::string_view text, int mode, std::string& out) const;

    // One header value (without its name, folds already undone) to
    // Shift_JIS: encoded words of every charset decoded (RFC 2047), white
    // space between adjacent words dropped, adjacent words of one charset
    // decoded as one text; text outside words read by
    // TCodePageConv::GuessToSjis. May raise like ConvertText.
    std::string DecodeHeader(std::string_view value) const;

    // The decoded bytes of encoded words in `charset` to Shift_JIS.
    std::string DecodeWordText(std::string_view bytes, std::string_view charset) const;
    // The same, appended to `out`.
    void AppendWordText(std::string_view bytes, std::string_view charset, std::string& out) const;

    // When `value` holds an encoded word starting with `prefix` ("=?UTF-8?B?",
    // "=?UTF-7?Q?", ...), decodes every UTF-7 and UTF-8 encoded word of it;
    // adjacent words of one charset are joined without the white space
    // between them. Never raises: on failure the value is returned as is.
    std::string DecodeUtfWord(std::string_view value, std::string_view prefix) const;

    bool NkfAvailable() const { return nkfAvailable_; }

  private:
    mutable CNkf nkf_;
    bool nkfAvailable_ = false;
};
