#include "mail/THtmlText.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

#include "base/SjisText.h"
#include "base/TThreadStop.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/THtmlMarkup.h"
#include "mail/TMimeHeaderValue.h"

namespace {

// How far into a document its <meta> charset is looked for.
constexpr std::size_t kMetaScanLimit = 64 * 1024;
// Open elements at most. At every end tag the parser searches its open
// elements, so a document of many nested tags would cost time in the square
// of its size: deeper than this, the rest is parsed afresh (as later libxml2
// releases refuse to go deeper than 256).
constexpr int kMaxDepth = 256;
// Parser events between two looks for a stop.
constexpr unsigned kStopPollEvents = 4096;

// What an element does to the text. Asked at every start and end tag, so
// the name is looked at by its length and first letter before any compare.
enum class TKind { kInline, kHidden, kBlock, kBreak, kRow, kCell, kPre };

bool IsAny(std::string_view name, std::initializer_list<std::string_view> names) {
    for (const std::string_view n : names) {
        if (name == n) {
            return true;
        }
    }
    return false;
}

TKind KindOf(const xmlChar* tag) {
    const std::string_view name(reinterpret_cast<const char*>(tag));
    switch (name.size()) {
        case 1:
            return name == "p" ? TKind::kBlock : TKind::kInline;
        case 2:
            if (name == "br") {
                return TKind::kBreak;
            }
            if (name == "tr") {
                return TKind::kRow;
            }
            if (name == "td" || name == "th") {
                return TKind::kCell;
            }
            if ((name[0] == 'h' && name[1] >= '1' && name[1] <= '6') ||
                IsAny(name, {"dd", "dl", "dt", "hr", "li", "ol", "ul"})) {
                return TKind::kBlock;
            }
            return TKind::kInline;
        case 3:
            if (name == "pre") {
                return TKind::kPre;
            }
            return IsAny(name, {"dir", "div", "nav"}) ? TKind::kBlock : TKind::kInline;
        case 4:
            if (name == "head") {
                return TKind::kHidden;
            }
            return IsAny(name, {"form", "main", "menu"}) ? TKind::kBlock : TKind::kInline;
        case 5:
            if (IsAny(name, {"style", "title"})) {
                return TKind::kHidden;
            }
            return IsAny(name, {"aside", "table", "tbody", "tfoot", "thead"}) ? TKind::kBlock
                                                                              : TKind::kInline;
        case 6:
            if (name == "script") {
                return TKind::kHidden;
            }
            return IsAny(name,
                         {"center", "dialog", "figure", "footer", "header", "hgroup", "legend"})
                       ? TKind::kBlock
                       : TKind::kInline;
        case 7:
            return IsAny(name, {"address", "article", "caption", "details", "section", "summary"})
                       ? TKind::kBlock
                       : TKind::kInline;
        case 8:
            if (name == "template") {
                return TKind::kHidden;
            }
            return name == "fieldset" ? TKind::kBlock : TKind::kInline;
        case 10:
            return IsAny(name, {"blockquote", "figcaption"}) ? TKind::kBlock : TKind::kInline;
        default:
            return TKind::kInline;
    }
}

bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Builds the text from the parser's events. libxml2 closes every element it
// opens (implied ends included), so starts and ends pair up.
class TTextBuilder {
  public:
    explicit TTextBuilder(std::string& out) : out_(out) {}

    // A parse of `part` begins, in `context`.
    void Begin(htmlParserCtxtPtr context, std::string_view part) {
        context_ = context;
        part_ = part;
        cutAt_ = std::string_view::npos;
        depth_ = 0;
    }
    // Where in the part the parse was cut to go on afresh; npos when it
    // was not.
    std::size_t CutAt() const { return cutAt_; }
    bool Stopped() const { return stopped_; }

    void Start(const xmlChar* name) {
        if (Halted()) {
            return;  // libxml2 still closes what is open
        }
        Poll();
        if (++depth_ > kMaxDepth) {
            Cut(name);
            return;
        }
        if (hidden_ > 0) {
            ++hidden_;
            return;
        }
        switch (KindOf(name)) {
            case TKind::kHidden:
                ++hidden_;
                break;
            case TKind::kBreak:
                out_ += '\n';
                NewLine();
                break;
            case TKind::kRow:
                EndLine();
                cells_.push_back(0);
                break;
            case TKind::kCell:
                if (!cells_.empty() && cells_.back()++ > 0) {
                    out_ += '\t';
                    lineHasText_ = true;
                    afterTab_ = true;
                    space_ = false;
                }
                break;
            case TKind::kPre:
                EndLine();
                ++pre_;
                break;
            case TKind::kBlock:
                EndLine();
                break;
            case TKind::kInline:
                break;
        }
    }

    void End(const xmlChar* name) {
        if (Halted()) {
            return;
        }
        --depth_;
        if (hidden_ > 0) {
            --hidden_;
            return;
        }
        switch (KindOf(name)) {
            case TKind::kRow:
                EndLine();
                if (!cells_.empty()) {
                    cells_.pop_back();
                }
                break;
            case TKind::kPre:
                EndLine();
                pre_ = pre_ > 0 ? pre_ - 1 : 0;
                break;
            case TKind::kBlock:
                EndLine();
                break;
            default:
                break;
        }
    }

    void Text(std::string_view text) {
        if (Halted()) {
            return;
        }
        Poll();
        if (hidden_ > 0) {
            return;
        }
        if (pre_ > 0) {
            AppendPre(text);
            return;
        }
        for (std::size_t i = 0; i < text.size();) {
            if (IsHtmlSpace(text[i])) {
                space_ = true;
                ++i;
                continue;
            }
            if (space_ && lineHasText_ && !afterTab_) {
                out_ += ' ';
            }
            space_ = false;
            afterTab_ = false;
            lineHasText_ = true;
            // The run up to the next white space, whole; a no-break space
            // (U+00A0) in it is shown as a blank but never collapses.
            std::size_t end = i;
            while (end < text.size() && !IsHtmlSpace(text[end])) {
                ++end;
            }
            for (std::size_t at = text.substr(i, end - i).find("\xC2\xA0");
                 at != std::string_view::npos; at = text.substr(i, end - i).find("\xC2\xA0")) {
                out_.append(text.substr(i, at));
                out_ += ' ';
                i += at + 2;
            }
            out_.append(text.substr(i, end - i));
            i = end;
        }
    }

    void Finish() { EndLine(); }

  private:
    bool Halted() const { return stopped_ || cutAt_ != std::string_view::npos; }
    void Poll() {
        if (++events_ % kStopPollEvents == 0 && TThreadStop::Requested()) {
            stopped_ = true;
            xmlStopParser(context_);
        }
    }

    // Ends the parse at the start tag of `name`, too deep: the rest goes on
    // after the tag (after the content of a <script> or <style>) as a new
    // document, from the top of the text.
    void Cut(const xmlChar* name) {
        std::size_t at = std::min(static_cast<std::size_t>(std::max(xmlByteConsumed(context_), 0L)),
                                  part_.size());
        const std::string_view tag(reinterpret_cast<const char*>(name));
        if (part_.substr(at).starts_with("/>")) {
            at += 2;
        } else if (tag == "script" || tag == "style") {
            std::size_t end = part_.find("</", at);
            while (end != std::string_view::npos &&
                   !sjis::EqualsNoCase(part_.substr(end + 2, tag.size()), tag)) {
                end = part_.find("</", end + 2);
            }
            at = std::min(end, part_.size());
        } else if (part_.substr(at).starts_with(">")) {
            at += 1;
        }
        cutAt_ = std::max<std::size_t>(at, 1);
        xmlStopParser(context_);
        EndLine();
        cells_.clear();
        hidden_ = 0;
        pre_ = 0;
    }

    void AppendPre(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                if (i + 1 < text.size() && text[i + 1] == '\n') {
                    ++i;
                }
                out_ += '\n';
                NewLine();
            } else if (text[i] == '\n') {
                out_ += '\n';
                NewLine();
            } else {
                out_ += text[i];
                lineHasText_ = true;
            }
        }
    }

    // Ends the current line unless it is still empty: blocks that meet do
    // not leave empty lines between them.
    void EndLine() {
        if (lineHasText_) {
            out_ += '\n';
        }
        NewLine();
    }

    void NewLine() {
        lineHasText_ = false;
        afterTab_ = false;
        space_ = false;
    }

    std::string& out_;
    htmlParserCtxtPtr context_ = nullptr;
    std::string_view part_;
    std::size_t cutAt_ = std::string_view::npos;
    int depth_ = 0;
    unsigned events_ = 0;
    bool stopped_ = false;
    std::vector<int> cells_;  // cells seen so far in each open row
    int hidden_ = 0;
    int pre_ = 0;
    bool lineHasText_ = false;
    bool afterTab_ = false;
    bool space_ = false;
};

TTextBuilder& BuilderOf(void* context) {
    return *static_cast<TTextBuilder*>(context);
}

void OnStart(void* context, const xmlChar* name, const xmlChar**) {
    BuilderOf(context).Start(name);
}

void OnEnd(void* context, const xmlChar* name) {
    BuilderOf(context).End(name);
}

void OnText(void* context, const xmlChar* text, int length) {
    BuilderOf(context).Text(
        std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)));
}

// Broken markup is the rule in mail, not worth a message.
void Quiet(void*, const char*, ...) {}
void QuietStructured(void*, xmlErrorPtr) {}

htmlSAXHandler MakeHandler() {
    htmlSAXHandler handler;
    std::memset(&handler, 0, sizeof handler);
    handler.startElement = OnStart;
    handler.endElement = OnEnd;
    handler.characters = OnText;
    handler.ignorableWhitespace = OnText;
    handler.cdataBlock = nullptr;  // script and style content: dropped
    handler.warning = Quiet;
    handler.error = Quiet;
    handler.fatalError = Quiet;
    handler.serror = QuietStructured;
    handler.initialized = 1;
    return handler;
}

void InitParser() {
    // Once for the process, before threads parse: libxml2 asks for it.
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
}

// Case-insensitive search for an ASCII word.
std::size_t FindNoCase(std::string_view text, std::string_view word, std::size_t from) {
    for (std::size_t i = from; i + word.size() <= text.size(); ++i) {
        if (sjis::EqualsNoCase(text.substr(i, word.size()), word)) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The attributes of one tag from `at` (just after its name) to its ">".
struct TMetaAttributes {
    std::string_view charset;
    std::string_view content;
};

// A charset in which ASCII is not one byte a character (UTF-16, UTF-32 and
// their kin): a <meta> read as bytes cannot be written in it, so it is
// wrong about the document (an 8-bit body read as UTF-16 is all mojibake).
bool IsWideCharset(std::string_view name) {
    for (const std::string_view prefix : {"utf-16", "utf16", "utf-32", "utf32", "ucs-2", "ucs2",
                                          "ucs-4", "ucs4", "iso-10646-ucs"}) {
        if (name.size() >= prefix.size() &&
            sjis::EqualsNoCase(name.substr(0, prefix.size()), prefix)) {
            return true;
        }
    }
    for (const std::string_view windowsName : {"unicode", "unicodefffe", "csunicode"}) {
        if (sjis::EqualsNoCase(name, windowsName)) {
            return true;
        }
    }
    return false;
}

TMetaAttributes ReadMetaAttributes(std::string_view text, std::size_t at) {
    TMetaAttributes found;
    const auto isSpace = [](char c) { return IsHtmlSpace(c) || c == '/'; };
    while (at < text.size() && text[at] != '>') {
        if (isSpace(text[at])) {
            ++at;
            continue;
        }
        const std::size_t nameAt = at;
        while (at < text.size() && !isSpace(text[at]) && text[at] != '=' && text[at] != '>') {
            ++at;
        }
        const std::string_view name = text.substr(nameAt, at - nameAt);
        while (at < text.size() && IsHtmlSpace(text[at])) {
            ++at;
        }
        std::string_view value;
        if (at < text.size() && text[at] == '=') {
            ++at;
            while (at < text.size() && IsHtmlSpace(text[at])) {
                ++at;
            }
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                const char quote = text[at++];
                const std::size_t end = std::min(text.find(quote, at), text.size());
                value = text.substr(at, end - at);
                at = end + 1;
            } else {
                const std::size_t valueAt = at;
                // "charset=utf-8/>" ends the tag: the "/" is no part of the value.
                while (at < text.size() && !IsHtmlSpace(text[at]) && text[at] != '>' &&
                       !(text[at] == '/' && at + 1 < text.size() && text[at + 1] == '>')) {
                    ++at;
                }
                value = text.substr(valueAt, at - valueAt);
            }
        }
        if (sjis::EqualsNoCase(name, "charset")) {
            found.charset = value;
        } else if (sjis::EqualsNoCase(name, "content")) {
            found.content = value;
        }
    }
    return found;
}

// The text of one parse, handed to the parser as it asks for more: a part
// after a cut is neither copied nor read further than the next cut.
struct TPartSource {
    std::string_view rest;

    static int Read(void* context, char* buffer, int length) {
        auto* source = static_cast<TPartSource*>(context);
        const std::size_t n = std::min(source->rest.size(), static_cast<std::size_t>(length));
        std::memcpy(buffer, source->rest.data(), n);
        source->rest.remove_prefix(n);
        return static_cast<int>(n);
    }
    static int Close(void*) { return 0; }
};

// Parses `part` into `builder`.
void Parse(std::string_view part, TTextBuilder& builder) {
    TPartSource source{part};
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateIO(
        &TPartSource::Read, &TPartSource::Close, &source, XML_CHAR_ENCODING_NONE);
    htmlParserCtxtPtr context = buffer != nullptr ? htmlNewParserCtxt() : nullptr;
    xmlParserInputPtr input =
        context != nullptr ? xmlNewIOInputStream(context, buffer, XML_CHAR_ENCODING_NONE) : nullptr;
    if (input == nullptr) {
        if (context != nullptr) {
            htmlFreeParserCtxt(context);
        }
        if (buffer != nullptr) {
            xmlFreeParserInputBuffer(buffer);
        }
        return;
    }
    inputPush(context, input);  // the context owns the input and its buffer from here
    htmlSAXHandler handler = MakeHandler();
    std::memcpy(context->sax, &handler, sizeof handler);
    context->userData = &builder;
    // The text is UTF-8 whatever the document says of itself.
    htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                    HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    xmlSwitchEncoding(context, XML_CHAR_ENCODING_UTF8);
    builder.Begin(context, part);
    htmlParseDocument(context);
    htmlFreeParserCtxt(context);
}

}  // namespace

std::string THtmlText::FromUtf8(std::string_view html) {
    std::string out;
    if (html.empty()) {
        return out;
    }
    InitParser();
    // The buffer size is an int; a larger body is cut there (2 GiB of HTML
    // is no mail).
    const std::string slim = THtmlMarkup::Slim(
        html.substr(0, std::min<std::size_t>(html.size(), std::numeric_limits<int>::max())));
    TTextBuilder builder(out);
    for (std::size_t from = 0; from < slim.size() && !builder.Stopped();) {
        Parse(std::string_view(slim).substr(from), builder);
        if (builder.CutAt() == std::string_view::npos) {
            break;
        }
        from += builder.CutAt();
    }
    builder.Finish();
    return out;
}

std::string THtmlText::FromSjis(std::string_view html) {
    return TSjisUnicode::FromUtf8(FromUtf8(TSjisUnicode::ToUtf8(html)));
}

std::string THtmlText::MetaCharset(std::string_view html) {
    html = html.substr(0, std::min(html.size(), kMetaScanLimit));
    const std::size_t body = FindNoCase(html, "<body", 0);
    html = html.substr(0, body == std::string_view::npos ? html.size() : body);
    for (std::size_t at = FindNoCase(html, "<meta", 0); at != std::string_view::npos;
         at = FindNoCase(html, "<meta", at + 5)) {
        if (at + 5 < html.size() && !IsHtmlSpace(html[at + 5]) && html[at + 5] != '/') {
            continue;  // "<metadata"
        }
        const TMetaAttributes meta = ReadMetaAttributes(html, at + 5);
        std::string charset(sjis::TrimControl(meta.charset));
        if (charset.empty() && !meta.content.empty()) {
            charset = TMimeHeaderValue(meta.content).Parameter("charset");
        }
        if (!charset.empty() && !IsWideCharset(charset)) {
            return charset;
        }
    }
    return {};
}
