#pragma once
// Conversion of UTF-8 and EUC-JP text to CP932 through tables read once
// from iconv. The result is byte for byte that of TIconv::Convert with the
// same skip function and "?" as replacement, without iconv's cost per call,
// which dominated the decoding of mail bodies (one call per line).
// Thread-safe: the tables are built on first use and then only read.

#include <string>
#include <string_view>

#include "codeconv/TIconv.h"

class TCp932Tables {
  public:
    // UTF-8 to CP932 (a byte-order mark is text here); what cannot be read
    // or held becomes "?", skipping TIconv::SkipUtf8 bytes. False, and
    // nothing appended, when iconv lacks the encodings for the table.
    static bool AppendFromUtf8(std::string_view text, std::string& out);
    // EUC-JP (the Windows variant, iconv's "EUC-JP-MS") to CP932; what
    // cannot be read or held becomes "?", skipping `skip` bytes. False as
    // above.
    static bool AppendFromEucJp(std::string_view text, std::string& out, TIconv::SkipFn skip);
};
