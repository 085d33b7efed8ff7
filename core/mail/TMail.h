#pragma once
// A mail record built from the raw lines of an Internet mail: the header
// block decoded into the header map, and the text body (single part, or the
// first "text/plain" part of a multipart mail) decoded to Shift_JIS lines.
// All parsing happens in the constructor; afterwards the record is read only.

#include <optional>
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
    TMail(const TMail&) = delete;
    TMail& operator=(const TMail&) = delete;

    // Header values are decoded when first asked for: HeaderValues decodes
    // the one header, GetHeader all of them.
    const THeaderMap& GetHeader() const override;
    const std::vector<std::string>& HeaderValues(const std::string& key) const override;
    const TLines& GetBody() const override;
    std::span<const std::string_view> BodyLines() const override { return body_; }
    std::string GetBoundary() override;

    // Code page of the text that was decoded last (the body's).
    int CodePage() const { return codePage_; }

    // What the Content-Type values of a header block say, each value read
    // once (TMimeHeaderValue).
    struct TContentType {
        bool textPlain = true;  // also when there is no Content-Type (RFC 2045)
        bool textHtml = false;
        // The "boundary" of the first value that has a non-empty one.
        std::string boundary;
        // The code page of the last value that names one; 50222 when none
        // does, TCodePageConv::kNamedCharset for a charset that is none of
        // the mail code pages.
        int codePage = TCodePageConv::kIso2022Jp;
        // The "charset" parameter of the last value that has one, or empty.
        std::string charset;
    };
    static TContentType ContentTypeOf(const std::vector<std::string>& values);

  protected:
    // For subclasses that replace AppendConverted: construct without parsing,
    // then call Parse from the subclass's constructor.
    struct TDeferParse {};
    TMail(TDeferParse, const TMailOptions& options, const TMailOrigin& origin = {});

    virtual void Parse(std::span<const std::string_view> lines);
    // One text in the mail's current code page to Shift_JIS, appended to
    // `out`. Plain ASCII must come out unchanged (body lines of it are not
    // passed here).
    virtual void AppendConverted(std::string_view text, std::string& out);
    // One header value (a field without its name) to Shift_JIS. May raise:
    // in the mail's own header block the value is then left out with a
    // warning, in a part's header block the block stops there.
    virtual std::string DecodeHeader(std::string_view value) const;

    static TCharNkfConv& Converter();

  private:
    enum class TEncoding { kPlain, kBase64, kQuotedPrintable };
    struct TTextPart;
    struct TBodyParts;
    using TLineSpan = std::span<const std::string_view>;

    // One field of the mail's header block (a line with its continuation
    // lines), kept undecoded: its key, upper-cased in place, and its value,
    // as offsets into headerText_.
    struct TField {
        std::size_t keyAt;
        std::size_t keyLength;
        std::size_t valueAt;
        std::size_t valueLength;
    };

    void KeepHeaderBlock(TLineSpan lines);
    std::string_view KeyOf(const TField& field) const;
    std::string_view ValueOf(const TField& field) const;
    // One field's value decoded and trimmed; empty when it cannot be decoded.
    std::string DecodedValue(std::string_view raw) const;
    void ParseHeaderBlock(TLineSpan lines, THeaderMap& map);
    void AddHeaderLine(std::string_view line, THeaderMap& map);
    bool FindTextPart(TLineSpan body, std::string_view boundary, int depth, TBodyParts& parts);
    bool IsBlankBody() const;
    void DecodeHtml(TLineSpan lines, TEncoding encoding, bool charsetDeclared);
    void DecodeBody(TLineSpan lines, TEncoding encoding);
    void SetBody(std::string text);
    void SetCharset(const TContentType& type);
    int PlainBodyCodePage(TLineSpan lines) const;
    void Warn(const char* message) const;
    static TEncoding EncodingOf(const std::vector<std::string>& transferEncoding);

    // The values of one header name, decoded when first asked for.
    struct TDecoded {
        std::string_view key;  // into headerText_
        std::vector<std::string> values;
    };
    bool IsDecoded(std::string_view key) const;

    std::string headerText_;
    std::vector<TField> fields_;
    mutable std::vector<TDecoded> decoded_;     // the headers asked for so far
    mutable std::optional<THeaderMap> header_;  // all of them, once GetHeader is asked
    std::string bodyText_;
    std::vector<std::string_view> body_;  // views into bodyText_
    mutable std::optional<TLines> bodyCopy_;
    std::string currentKey_;        // of the field read last, for a part's continuation line
    bool currentKeyKnown_ = false;  // set from the mail's own block when a part is read
    std::string boundary_;
    int codePage_ = TCodePageConv::kIso2022Jp;
    std::string charset_;  // the declared name, for kNamedCharset
    TMailOptions options_;
    TMailOrigin origin_;
};
