#include "state/TMailIdentity.h"

#include <array>

#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "state/THash128.h"

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           sjis::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// Flag and position headers that mail programs add or change in place.
bool IsVolatile(std::string_view line) {
    static constexpr std::array<std::string_view, 9> kNames = {
        "status:",     "x-status:", "x-mozilla-status:", "x-mozilla-status2:", "x-mozilla-keys:",
        "x-keywords:", "x-uid:",    "x-imap:",           "x-imapbase:"};
    for (const std::string_view name : kNames) {
        if (StartsWithNoCase(line, name)) {
            return true;
        }
    }
    return false;
}

bool IsContinuation(std::string_view line) {
    return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Collects the identity while the header lines are visited in order.
class TBuilder {
  public:
    // False at the blank line that ends the header block.
    bool Line(std::string_view line) {
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            return false;
        }
        const bool continued = IsContinuation(line);
        if (!continued) {
            skipping_ = IsVolatile(line);
            inMessageId_ = StartsWithNoCase(line, "message-id:");
            if (inMessageId_) {
                line.remove_prefix(11);
                ++messageIds_;
            }
        }
        if (inMessageId_ && messageIds_ == 1) {
            messageId_.append(Trimmed(line));
        }
        if (!skipping_) {
            header_.append(line).push_back('\n');
        }
        return true;
    }

    TMailIdentity Result() {
        TMailIdentity identity;
        const THash128::TValue hash = THash128::Of(header_);
        identity.header1 = hash[0];
        identity.header2 = hash[1];
        std::string_view id = messageId_;
        // "<a@b> (comment)": the bracketed address is the identity.
        const std::size_t open = id.find('<');
        const std::size_t close = id.find('>', open == std::string_view::npos ? 0 : open);
        if (open != std::string_view::npos && close != std::string_view::npos) {
            id = id.substr(open, close - open + 1);
        }
        if (!id.empty() && id != "<>") {
            identity.messageId = THash128::Of64(id);
            identity.messageId += identity.messageId == 0 ? 1 : 0;  // 0 means none
        }
        return identity;
    }

  private:
    // Kept per thread: no allocation per mail once the buffers have grown.
    std::string& header_ = HeaderBuffer();
    std::string& messageId_ = IdBuffer();
    bool skipping_ = false;
    bool inMessageId_ = false;
    int messageIds_ = 0;

    static std::string& HeaderBuffer() {
        thread_local std::string buffer;
        buffer.clear();
        return buffer;
    }
    static std::string& IdBuffer() {
        thread_local std::string buffer;
        buffer.clear();
        return buffer;
    }
};

}  // namespace

TMailIdentity TMailIdentity::Of(std::span<const std::string_view> lines) {
    TBuilder builder;
    for (const std::string_view line : lines) {
        if (!builder.Line(line)) {
            break;
        }
    }
    return builder.Result();
}

TMailIdentity TMailIdentity::OfHeader(std::string_view header) {
    TBuilder builder;
    TLineSplitter splitter(header);
    std::string_view line;
    while (splitter.Next(line) && builder.Line(line)) {
    }
    return builder.Result();
}
