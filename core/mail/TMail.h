#pragma once
// A mail record built from the raw lines of an Internet mail: the header
// block decoded into the header map, and the text body (single part, or the
// first "text/plain" part of a multipart mail) decoded to Shift_JIS lines.
// All parsing happens in the constructor; afterwards the record is read only.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codeconv/TCodePageConv.h"
#include "mail/TBasicMail.h"
#include "mail/TMailOptions.h"

class TCharNkfConv;

class TMail : public TBasicMail {
  public:
    // `lines` are the mail's lines without line-break bytes. The views are
    // only read during construction. Errors of the body conversion leave the
    // constructor as TKestrifyError.
    explicit TMail(std::span<const std::string_view> lines, const TMailOptions& options = {},
                   const TMailOrigin& origin = {});
    explicit TMail(const TLines& lines, const TMailOptions& options = {},
                   const TMailOrigin& origin = {});

    const THeaderMap& GetHeader() const override { return header_; }
    const TLines& GetBody() const override { return body_; }
    std::string GetBoundary() override;

    // Code page of the text that was decoded last (the body's).
    int CodePage() const { return codePage_; }

    // The code page named by the last Content-Type value that names one;
    // 50222 when none does. TCodePageConv::kNamedCharset for a charset that
    // is none of the mail code pages (see CharsetFromContentType).
    static int CodePageFromContentType(const std::vector<std::string>& values);
    // The "charset" parameter of the last Content-Type value that has one,
    // or empty.
    static std::string CharsetFromContentType(const std::vector<std::string>& values);
    // The "boundary" parameter (RFC 2045: name in any case, value quoted or
    // a token) of the first Content-Type value that has a non-empty one.
    static std::string BoundaryFromContentType(const std::vector<std::string>& values);

  protected:
    // For subclasses that replace ConvertCode: construct without parsing,
    // then call Parse from the subclass's constructor.
    struct TDeferParse {};
    TMail(TDeferParse, const TMailOptions& options, const TMailOrigin& origin = {});

    virtual void Parse(std::span<const std::string_view> lines);
    // One text in the mail's current code page to Shift_JIS.
    virtual std::string ConvertCode(std::string_view text);
    // One header value (a line without its name) to Shift_JIS. May raise;
    // the header block then stops with a warning.
    virtual std::string DecodeHeader(std::string_view value);

    TCharNkfConv& Converter();

  private:
    enum class TEncoding { kPlain, kBase64, kQuotedPrintable };
    struct TTextPart;
    using TLineSpan = std::span<const std::string_view>;

    void ParseHeaderBlock(TLineSpan lines, THeaderMap& map);
    void AddHeaderLine(std::string_view line, THeaderMap& map);
    bool FindTextPart(TLineSpan body, std::string_view boundary, int depth, TTextPart& part);
    void DecodeBody(TLineSpan lines, TEncoding encoding);
    void SetCharset(const std::vector<std::string>& contentType);
    int PlainBodyCodePage(TLineSpan lines) const;
    void Warn(const char* message) const;
    static TEncoding EncodingOf(const THeaderMap& map);

    THeaderMap header_;
    TLines body_;
    std::string currentKey_;
    std::string boundary_;
    int codePage_ = TCodePageConv::kIso2022Jp;
    std::string charset_;  // the declared name, for kNamedCharset
    TMailOptions options_;
    TMailOrigin origin_;
};
