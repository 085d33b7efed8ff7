#include "mail/TMail.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>

#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "codeconv/TCharNkfConv.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/THtmlText.h"
#include "mail/TMimeHeaderValue.h"

namespace {

const std::string kSubjectKey = "SUBJECT:";
const std::string kContentTypeKey = "CONTENT-TYPE:";
const std::string kTransferEncodingKey = "CONTENT-TRANSFER-ENCODING:";

// Multiparts nest this deep at most; deeper parts are not searched, so a
// hostile mail cannot exhaust the stack.
constexpr int kMaxMultipartDepth = 32;

const std::vector<std::string>& Values(const THeaderMap& map, const std::string& key) {
    static const std::vector<std::string> kNone;
    const auto it = map.find(key);
    return it == map.end() ? kNone : it->second;
}

// Files one decoded header value; the pieces of a subject given more than
// once are joined into its one value. Empty values are not stored.
void FileValue(std::string_view key, std::string&& value, std::vector<std::string>& values) {
    if (value.empty()) {
        return;
    }
    if (key == kSubjectKey && !values.empty()) {
        values.front().append(value);
    } else {
        values.push_back(std::move(value));
    }
}

// Header names upper-cased in place; the second byte of a double-byte
// character is left alone.
void UpperInPlace(std::span<char> text) {
    std::size_t i = 0;
    // Eight 7-bit bytes at a time: a byte of 'a'-'z' loses 0x20. Below 0x80
    // the sums cannot carry into the next byte.
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text.data() + i, sizeof w);
        if (w & kHighs) {
            break;
        }
        const std::uint64_t fromA = w + (0x80 - 'a') * kOnes;      // high bit: >= 'a'
        const std::uint64_t pastZ = w + (0x80 - 'z' - 1) * kOnes;  // high bit: > 'z'
        w -= ((fromA & ~pastZ) & kHighs) >> 2;
        std::memcpy(text.data() + i, &w, sizeof w);
    }
    // 7-bit names (nearly all) without the double-byte bookkeeping.
    for (; i < text.size() && static_cast<unsigned char>(text[i]) < 0x80; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (static_cast<unsigned char>(c - 'a') < 26) {
            text[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (sjis::IsLeadByte(c) && i + 1 < text.size()) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            text[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsContinuation(std::string_view line) {
    return !line.empty() && IsBlank(line[0]);
}

// A 0 byte is no text: it is dropped, and what follows it is kept.
void DropZeroBytes(std::string& text, std::size_t from = 0) {
    const std::size_t at = text.find('\0', from);
    if (at != std::string::npos) {
        text.erase(std::remove(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), '\0'),
                   text.end());
    }
}

enum class TDelimiter { kNone, kNext, kClosing };

// What a body line is for a multipart with `delimiter` ("--" + boundary):
// the delimiter, or the closing one with its "--", each followed only by
// transport padding (blanks and tabs) that the sender may have added.
TDelimiter DelimiterOf(std::string_view line, std::string_view delimiter) {
    if (!line.starts_with(delimiter)) {
        return TDelimiter::kNone;
    }
    std::string_view rest = line.substr(delimiter.size());
    const bool closing = rest.starts_with("--");
    if (closing) {
        rest.remove_prefix(2);
    }
    for (const char c : rest) {
        if (!IsBlank(c)) {
            return TDelimiter::kNone;
        }
    }
    return closing ? TDelimiter::kClosing : TDelimiter::kNext;
}

// How many bytes at the start of `text` are all above 0x20, eight at a
// time: Base64 lines seldom hold any blank.
std::size_t NoBlankPrefix(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text.data() + i, sizeof w);
        if ((w - 0x21 * kOnes) & ~w & kHighs) {
            break;  // a byte below 0x21 somewhere in these eight
        }
    }
    return i;
}

// Base64 lines joined for decoding. White space inside a line (trailing
// blanks added by some servers) would take positions in the decoder and
// shift every following byte, so it is left out.
void JoinBase64(std::span<const std::string_view> lines, std::string& joined) {
    std::size_t size = 0;
    for (std::string_view line : lines) {
        size += line.size();
    }
    joined.clear();
    joined.reserve(size);
    for (std::string_view line : lines) {
        std::size_t run = 0;  // start of the current run of non-blank bytes
        for (std::size_t i = NoBlankPrefix(line); i < line.size(); ++i) {
            if (static_cast<unsigned char>(line[i]) <= 0x20) {
                joined.append(line.substr(run, i - run));
                run = i + 1;
            }
        }
        joined.append(line.substr(run));
    }
}

void JoinWithCrLf(std::span<const std::string_view> lines, std::string& joined) {
    std::size_t size = 0;
    for (std::string_view line : lines) {
        size += line.size() + 2;
    }
    joined.clear();
    joined.reserve(size);
    for (std::string_view line : lines) {
        joined.append(line);
        joined.append("\r\n");
    }
}

// Printable ASCII without encoded words, escape sequences or shift bytes:
// every decoder gives such a text back unchanged, so it is not decoded.
bool IsPlainAsciiByte(unsigned char c) {
    return (c >= 0x20 || c == '\t') && c <= 0x7E;
}

// Eight bytes at a time: a word with no byte below 0x20 and none above 0x7E
// is plain; only a word with a control byte (perhaps a tab) is read bytewise.
bool IsPlainAscii(std::string_view text) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, text.data() + i, sizeof w);
        if (((w + kOnes) | w) & kHighs) {
            return false;  // a byte of 0x7F or more
        }
        if ((w - 0x20 * kOnes) & ~w & kHighs) {
            for (std::size_t k = i; k < i + 8; ++k) {
                if (!IsPlainAsciiByte(static_cast<unsigned char>(text[k]))) {
                    return false;
                }
            }
        }
    }
    for (; i < text.size(); ++i) {
        if (!IsPlainAsciiByte(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> Views(const TLines& lines) {
    return std::vector<std::string_view>(lines.begin(), lines.end());
}

}  // namespace

struct TMail::TTextPart {
    bool found = false;
    std::vector<std::string_view> lines;
    TEncoding encoding = TEncoding::kPlain;
    TContentType type;
};

// The parts a body may come from: the first text/plain part, and with
// HTML text on, the first text/html part too.
struct TMail::TBodyParts {
    TTextPart text;
    TTextPart html;
    bool wantHtml = false;
    bool Done() const { return text.found && (!wantHtml || html.found); }
};

TMail::TMail(std::span<const std::string_view> lines, const TMailOptions& options,
             const TMailOrigin& origin)
    : options_(options), origin_(origin) {
    Parse(lines);
}

TMail::TMail(const TLines& lines, const TMailOptions& options, const TMailOrigin& origin)
    : TMail(std::span<const std::string_view>(Views(lines)), options, origin) {}

TMail::TMail(TDeferParse, const TMailOptions& options, const TMailOrigin& origin)
    : options_(options), origin_(origin) {}

void TMail::Warn(const char* message) const {
    if (!options_.warning) {
        return;
    }
    std::string text;
    if (!origin_.utf8FileName.empty()) {
        text = TSjisUnicode::FromUtf8(origin_.utf8FileName) + ": ";
    } else if (origin_.number > 0) {
        static const std::string kNth = TSjisUnicode::FromUtf8("番目のメール: ");
        text = std::to_string(origin_.number) + kNth;
    }
    options_.warning(text + message);
}

TCharNkfConv& TMail::Converter() {
    // One converter per thread, not per mail: setting one up looks for the
    // kanji-filter library, far too costly to repeat for every mail.
    thread_local TCharNkfConv converter;
    return converter;
}

void TMail::AppendConverted(std::string_view text, std::string& out) {
    // UTF-7 gives "+" a meaning; every other code page keeps ASCII as it is.
    if (codePage_ != TCodePageConv::kUtf7 && codePage_ != TCodePageConv::kNamedCharset &&
        IsPlainAscii(text)) {
        out.append(text);
    } else if (codePage_ == TCodePageConv::kNamedCharset) {
        out += TCodePageConv::CharsetToSjis(text, charset_);
    } else {
        Converter().AppendText(text, codePage_, out);
    }
}

std::string TMail::DecodeHeader(std::string_view value) const {
    if (IsPlainAscii(value) && value.find("=?") == std::string_view::npos) {
        return std::string(value);
    }
    return Converter().DecodeHeader(value);
}

void TMail::Parse(std::span<const std::string_view> lines) {
    std::size_t headerEnd = 0;
    while (headerEnd < lines.size() && !lines[headerEnd].empty()) {
        ++headerEnd;
    }
    KeepHeaderBlock(lines.first(headerEnd));
    const TLineSpan body = headerEnd < lines.size() ? lines.subspan(headerEnd + 1) : TLineSpan();

    TContentType type = ContentTypeOf(HeaderValues(kContentTypeKey));
    SetCharset(type);
    boundary_ = std::move(type.boundary);
    if (boundary_.empty()) {
        const TEncoding encoding = EncodingOf(HeaderValues(kTransferEncodingKey));
        if (options_.htmlText && type.textHtml) {
            DecodeHtml(body, encoding, !type.charset.empty());
        } else {
            DecodeBody(body, encoding);
        }
        return;
    }
    TBodyParts parts;
    parts.wantHtml = options_.htmlText;
    FindTextPart(body, boundary_, 0, parts);
    if (parts.text.found) {
        SetCharset(parts.text.type);
        DecodeBody(parts.text.lines, parts.text.encoding);
    }
    // A text part that is empty or only white space ("see the HTML part")
    // gives way to the HTML part.
    if (parts.html.found && (!parts.text.found || IsBlankBody())) {
        SetCharset(parts.html.type);
        DecodeHtml(parts.html.lines, parts.html.encoding, !parts.html.type.charset.empty());
    }
}

// The mail's header block is copied as it is, names upper-cased; values are
// decoded only when asked for (most headers of a mail never are). A field's
// lines lie side by side in the copy, so its value is already unfolded: the
// fold's line break gone, its white space kept.
void TMail::KeepHeaderBlock(TLineSpan lines) {
    std::size_t size = 0;
    for (std::string_view line : lines) {
        size += line.size();
    }
    headerText_.reserve(size);
    fields_.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size();) {
        const std::size_t at = headerText_.size();
        headerText_.append(lines[i]);
        const bool continued = IsContinuation(lines[i]);
        for (++i; i < lines.size() && IsContinuation(lines[i]); ++i) {
            headerText_.append(lines[i]);
        }
        const std::string_view field = std::string_view(headerText_).substr(at);
        std::size_t valueAt = at;
        if (continued) {
            // A block that starts with a continuation line continues the
            // field read last.
            fields_.push_back(fields_.empty() ? TField{0, 0, at, field.size()}
                                              : TField{fields_.back().keyAt,
                                                       fields_.back().keyLength, at, field.size()});
            continue;
        }
        // The colon is a few bytes in: a byte loop beats a library search.
        std::size_t colon = 0;
        while (colon < field.size() && field[colon] != ':') {
            ++colon;
        }
        const std::size_t keyLength = colon == field.size() ? 0 : colon + 1;
        UpperInPlace(std::span<char>(headerText_.data() + at, keyLength));
        valueAt = at + keyLength;
        fields_.push_back({at, keyLength, valueAt, field.size() - keyLength});
    }
}

std::string_view TMail::KeyOf(const TField& field) const {
    return std::string_view(headerText_).substr(field.keyAt, field.keyLength);
}

std::string_view TMail::ValueOf(const TField& field) const {
    return std::string_view(headerText_).substr(field.valueAt, field.valueLength);
}

// A value that cannot be decoded is reported and left out (empty); the
// field's header keeps its other values and the other headers are kept.
std::string TMail::DecodedValue(std::string_view raw) const {
    std::string decoded;
    try {
        decoded = DecodeHeader(raw);
    } catch (const std::exception& e) {
        Warn(e.what());
        return {};
    }
    DropZeroBytes(decoded);
    const std::string_view trimmed = sjis::TrimControl(decoded);
    if (trimmed.size() != decoded.size()) {
        const auto lead = static_cast<std::size_t>(trimmed.data() - decoded.data());
        decoded.resize(lead + trimmed.size());
        decoded.erase(0, lead);
    }
    return decoded;
}

const std::vector<std::string>& TMail::HeaderValues(const std::string& key) const {
    if (header_) {
        return Values(*header_, key);
    }
    for (const TDecoded& d : decoded_) {
        if (d.key == key) {
            return d.values;
        }
    }
    static const std::vector<std::string> kNone;
    const auto first = std::find_if(fields_.begin(), fields_.end(),
                                    [&](const TField& field) { return KeyOf(field) == key; });
    if (first == fields_.end()) {
        return kNone;
    }
    // One entry per header name of the block at most, so the list never
    // outgrows this and the values handed out never move.
    decoded_.reserve(fields_.size());
    TDecoded& d = decoded_.emplace_back(TDecoded{KeyOf(*first), {}});
    for (auto it = first; it != fields_.end(); ++it) {
        if (KeyOf(*it) == key) {
            FileValue(key, DecodedValue(ValueOf(*it)), d.values);
        }
    }
    return d.values;
}

bool TMail::IsDecoded(std::string_view key) const {
    return std::any_of(decoded_.begin(), decoded_.end(),
                       [key](const TDecoded& d) { return d.key == key; });
}

const THeaderMap& TMail::GetHeader() const {
    if (!header_) {
        THeaderMap map;
        std::string key;
        for (const TField& field : fields_) {
            if (!IsDecoded(KeyOf(field))) {
                std::string value = DecodedValue(ValueOf(field));
                if (!value.empty()) {
                    key.assign(KeyOf(field));
                    FileValue(key, std::move(value), map[key]);
                }
            }
        }
        for (TDecoded& d : decoded_) {
            if (!d.values.empty()) {
                map[std::string(d.key)] = std::move(d.values);
            }
        }
        decoded_.clear();
        header_ = std::move(map);
    }
    return *header_;
}

const TLines& TMail::GetBody() const {
    if (!bodyCopy_) {
        bodyCopy_.emplace(body_.begin(), body_.end());
    }
    return *bodyCopy_;
}

// A part's header block, decoded at once; a continuation line at its start
// belongs to the header read last, in the mail's own block or an earlier part.
void TMail::ParseHeaderBlock(TLineSpan lines, THeaderMap& map) {
    if (!currentKeyKnown_) {
        if (!fields_.empty()) {
            currentKey_.assign(KeyOf(fields_.back()));
        }
        currentKeyKnown_ = true;
    }
    // A field and its continuation lines are unfolded into one value before
    // decoding: the fold's line break goes, its white space stays, and an
    // encoded word or character split over the fold decodes whole.
    std::string unfolded;
    for (std::size_t i = 0; i < lines.size();) {
        std::size_t end = i + 1;
        while (end < lines.size() && IsContinuation(lines[end])) {
            ++end;
        }
        std::string_view field = lines[i];
        if (end - i > 1) {
            unfolded.assign(field);
            for (std::size_t k = i + 1; k < end; ++k) {
                unfolded.append(lines[k]);
            }
            field = unfolded;
        }
        i = end;
        try {
            AddHeaderLine(field, map);
        } catch (const std::exception& e) {
            Warn(e.what());
            return;
        }
    }
}

void TMail::AddHeaderLine(std::string_view line, THeaderMap& map) {
    std::string_view raw;
    if (IsContinuation(line)) {
        raw = line;
    } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
        currentKey_.assign(line.substr(0, colon + 1));
        UpperInPlace(currentKey_);
        raw = line.substr(colon + 1);
    } else {
        currentKey_.clear();
        raw = line;
    }
    std::string decoded = DecodeHeader(raw);
    DropZeroBytes(decoded);
    const std::string_view value = sjis::TrimControl(decoded);
    if (value.empty()) {
        return;
    }
    std::vector<std::string>& values = map[currentKey_];
    if (currentKey_ == kSubjectKey && !values.empty()) {
        values.front().append(value);
    } else {
        values.emplace_back(value);
    }
}

namespace {

// The value upper-cased without its quoted strings, for charset names
// written where no parameter is; in a buffer kept by the thread.
const std::string& UnquotedUpper(std::string_view value) {
    thread_local std::string out;
    out.clear();
    bool quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\') {
            ++i;
        } else if (!quoted && sjis::IsLeadByte(static_cast<unsigned char>(c)) &&
                   i + 1 < value.size()) {
            out += value.substr(i++, 2);
        } else if (!quoted) {
            out += sjis::AsciiUpper(c);
        }
    }
    return out;
}

// A charset name found anywhere in a broken value that has no charset
// parameter ("text/plain; x-sjis") still decides, as it always has.
int CodePageNamedIn(std::string_view value) {
    struct TName {
        std::string_view text;
        int codePage;
    };
    static constexpr TName kNames[] = {
        {"ISO-2022-JP", TCodePageConv::kIso2022Jp},
        {"UTF-7", TCodePageConv::kUtf7},
        {"UTF8", TCodePageConv::kUtf8},
        {"UTF-8", TCodePageConv::kUtf8},
        {"US-ASCII", TCodePageConv::kIso2022Jp},
        {"SJIS", TCodePageConv::kShiftJis},
        {"ISO-8859-1", TCodePageConv::kLatin1},
        {"EUC-JP", TCodePageConv::kEucJp},
    };
    const std::string& upper = UnquotedUpper(value);
    for (const TName& name : kNames) {
        if (upper.find(name.text) != std::string::npos) {
            return name.codePage;
        }
    }
    return -1;
}

}  // namespace

TMail::TContentType TMail::ContentTypeOf(const std::vector<std::string>& values) {
    TContentType type;
    type.textPlain = values.empty();
    for (const std::string& value : values) {
        const TMimeHeaderValue parsed(value);
        type.textPlain = type.textPlain || parsed.Value() == "text/plain";
        type.textHtml = type.textHtml || parsed.Value() == "text/html";
        if (type.boundary.empty()) {
            type.boundary = parsed.Parameter("boundary");
        }
        if (const std::string_view charset = parsed.Parameter("charset"); !charset.empty()) {
            type.charset = charset;
            type.codePage = TCodePageConv::CodePageOf(charset);
        } else if (parsed.HasStrayText()) {
            if (const int named = CodePageNamedIn(value); named >= 0) {
                type.codePage = named;
            }
        }
    }
    return type;
}

void TMail::SetCharset(const TContentType& type) {
    codePage_ = type.codePage;
    charset_ = codePage_ == TCodePageConv::kNamedCharset ? type.charset : std::string();
}

std::string TMail::GetBoundary() {
    return boundary_;
}

TMail::TEncoding TMail::EncodingOf(const std::vector<std::string>& values) {
    TEncoding encoding = TEncoding::kPlain;
    for (const std::string& value : values) {
        const TMimeHeaderValue parsed(value);
        const std::string& name = parsed.Value();
        if (name == "base64") {
            return TEncoding::kBase64;
        }
        if (name == "quoted-printable") {
            encoding = TEncoding::kQuotedPrintable;
        }
    }
    return encoding;
}

// Walks one multipart body for its text part (and HTML part), depth first:
// a part that is itself a multipart (the alternative inside a mixed mail) is
// searched before the parts that follow it. True once all wanted are found.
bool TMail::FindTextPart(TLineSpan body, std::string_view boundary, int depth, TBodyParts& parts) {
    const std::string delimiter = "--" + std::string(boundary);
    bool inHeader = false;
    std::size_t headerStart = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const std::string_view line = body[i];
        if (!inHeader) {
            if (DelimiterOf(line, delimiter) == TDelimiter::kNext) {
                inHeader = true;
                headerStart = i + 1;
            }
            continue;
        }
        if (!line.empty()) {
            continue;
        }
        inHeader = false;
        THeaderMap partHeader;
        ParseHeaderBlock(body.subspan(headerStart, i - headerStart), partHeader);
        TContentType type = ContentTypeOf(Values(partHeader, kContentTypeKey));
        // The part runs to the next delimiter of this multipart, or to the end.
        std::size_t end = i + 1;
        while (end < body.size() && DelimiterOf(body[end], delimiter) == TDelimiter::kNone) {
            ++end;
        }
        const TLineSpan content = body.subspan(i + 1, end - i - 1);
        TTextPart* wanted = nullptr;
        if (type.textPlain && !parts.text.found) {
            wanted = &parts.text;
        } else if (type.textHtml && parts.wantHtml && !parts.html.found) {
            wanted = &parts.html;
        }
        if (wanted != nullptr) {
            wanted->found = true;
            wanted->lines.assign(content.begin(), content.end());
            wanted->encoding = EncodingOf(Values(partHeader, kTransferEncodingKey));
            wanted->type = std::move(type);
            if (parts.Done()) {
                return true;
            }
        } else if (!type.boundary.empty() && depth < kMaxMultipartDepth) {
            if (FindTextPart(content, type.boundary, depth + 1, parts)) {
                return true;
            }
        }
        i = end - 1;  // the delimiter that ended the part is read next
    }
    return parts.Done();
}

bool TMail::IsBlankBody() const {
    for (std::string_view line : body_) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line.substr(i, 2) == "\x81\x40") {
                ++i;  // the full-width space
            } else if (static_cast<unsigned char>(line[i]) > 0x20) {
                return false;
            }
        }
    }
    return true;
}

// An HTML body is decoded whole, then turned into text. Its charset is the
// part's Content-Type's, else the one the document names, else guessed.
void TMail::DecodeHtml(TLineSpan lines, TEncoding encoding, bool charsetDeclared) {
    thread_local std::string joined;
    std::string raw;
    if (encoding == TEncoding::kBase64) {
        JoinBase64(lines, joined);
        TCharCodeConv::AppendB64Decoded(joined, raw);
    } else if (encoding == TEncoding::kQuotedPrintable) {
        JoinWithCrLf(lines, joined);
        TCharCodeConv::AppendQPDecoded(joined, raw);
    } else {
        JoinWithCrLf(lines, raw);
    }
    if (joined.capacity() > (std::size_t{1} << 20)) {
        joined = std::string();
    }
    if (!charsetDeclared) {
        if (const std::string meta = THtmlText::MetaCharset(raw); !meta.empty()) {
            codePage_ = TCodePageConv::CodePageOf(meta);
            charset_ = codePage_ == TCodePageConv::kNamedCharset ? meta : std::string();
        }
    }
    if (codePage_ == TCodePageConv::kIso2022Jp && raw.find('\x1B') == std::string::npos &&
        std::any_of(raw.begin(), raw.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        codePage_ = TCodePageConv::GuessJapanese(raw);
    }
    std::string html;
    AppendConverted(raw, html);
    SetBody(THtmlText::FromSjis(html));
}

// A body labelled (or defaulted to) ISO-2022-JP that has 8-bit bytes but no
// escape sequence was mislabelled. Its lines are converted one by one, so its
// charset is guessed once, from all of them: a short line alone could pass
// for another charset.
int TMail::PlainBodyCodePage(TLineSpan lines) const {
    if (codePage_ != TCodePageConv::kIso2022Jp) {
        return codePage_;
    }
    bool eightBit = false;
    for (std::string_view line : lines) {
        for (const char c : line) {
            if (c == '\x1B') {
                return codePage_;
            }
            eightBit = eightBit || static_cast<unsigned char>(c) >= 0x80;
        }
    }
    if (!eightBit) {
        return codePage_;
    }
    std::string joined;
    JoinWithCrLf(lines, joined);
    return TCodePageConv::GuessJapanese(joined);
}

// The body is kept as one text with views of its lines: no string per line.
void TMail::DecodeBody(TLineSpan lines, TEncoding encoding) {
    if (encoding != TEncoding::kPlain) {
        // The joined and the decoded text in buffers kept by the thread:
        // two large blocks fewer to allocate and free for every mail.
        thread_local std::string joined;
        thread_local std::string decoded;
        decoded.clear();
        if (encoding == TEncoding::kBase64) {
            JoinBase64(lines, joined);
            TCharCodeConv::AppendB64Decoded(joined, decoded);
        } else {
            JoinWithCrLf(lines, joined);
            TCharCodeConv::AppendQPDecoded(joined, decoded);
        }
        std::string text;
        AppendConverted(decoded, text);
        SetBody(std::move(text));
        // A rare huge body does not keep its room for the rest of the run.
        constexpr std::size_t kKeptRoom = std::size_t{1} << 20;
        if (joined.capacity() > kKeptRoom || decoded.capacity() > kKeptRoom) {
            joined = std::string();
            decoded = std::string();
        }
        return;
    }
    codePage_ = PlainBodyCodePage(lines);
    // Each line on its own: a line's escape sequences or broken bytes never
    // reach the next one.
    std::size_t size = 0;
    for (std::string_view line : lines) {
        size += line.size();
    }
    bodyText_.reserve(size);
    const bool asciiKept =
        codePage_ != TCodePageConv::kUtf7 && codePage_ != TCodePageConv::kNamedCharset;
    thread_local std::vector<std::size_t> ends;
    ends.clear();
    for (std::string_view line : lines) {
        if (asciiKept && IsPlainAscii(line)) {
            bodyText_.append(line);
        } else {
            const std::size_t at = bodyText_.size();
            AppendConverted(line, bodyText_);
            DropZeroBytes(bodyText_, at);
        }
        ends.push_back(bodyText_.size());
    }
    body_.reserve(ends.size());
    std::size_t start = 0;
    for (const std::size_t end : ends) {
        body_.push_back(std::string_view(bodyText_).substr(start, end - start));
        start = end;
    }
}

void TMail::SetBody(std::string text) {
    DropZeroBytes(text);
    bodyText_ = std::move(text);
    // Collected in a list reused by the thread, then copied at their count.
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    TLineSplitter::AppendViews(bodyText_, lines);
    body_.assign(lines.begin(), lines.end());
}
