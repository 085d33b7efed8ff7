#include "imap/TImapReplyGuard.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

constexpr std::size_t kTokenKept = 16;            // enough for RFC822.SIZE, UIDVALIDITY
constexpr std::uint64_t kSaturated = 1ull << 40;  // well past 32 bits, far from overflow
constexpr std::array<std::string_view, 4> kUint32Words = {"UID", "RFC822.SIZE", "UIDVALIDITY",
                                                          "UIDNEXT"};

std::string Size(std::size_t bytes) {
    return bytes >= (1u << 20) && bytes % (1u << 20) == 0 ? std::to_string(bytes >> 20) + " MB"
                                                          : std::to_string(bytes) + " バイト";
}

bool IsDelimiter(char c) {
    return c == ' ' || c == '(' || c == ')' || c == '[' || c == ']' || c == '\r';
}

}  // namespace

std::string TImapReplyGuard::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        if (literalLeft_ > 0) {
            std::string why = Literal(bytes);
            if (!why.empty()) {
                return why;
            }
            continue;
        }
        const char c = bytes.front();
        bytes.remove_prefix(1);
        std::string why = Byte(c);
        if (!why.empty()) {
            return why;
        }
    }
    return {};
}

std::string TImapReplyGuard::Literal(std::string_view& bytes) {
    const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(literalLeft_, bytes.size()));
    const std::uint64_t share = limits_.progressBytes;
    if ((literalBytes_ + take) / share != literalBytes_ / share) {
        ++progress_;
    }
    literalLeft_ -= take;
    literalBytes_ += take;
    if (!(streaming_ && kind_ == TKind::kFetch)) {
        responseBytes_ += take;  // checked when the literal was announced
    }
    bytes.remove_prefix(take);
    return {};
}

std::string TImapReplyGuard::Byte(char c) {
    if (++lineBytes_ > limits_.line) {
        return "応答の 1 行が " + Size(limits_.line) + " を超えています";
    }
    if (++responseBytes_ > limits_.response) {
        return "1 つの応答が " + Size(limits_.response) + " を超えています";
    }
    if (c == '\n') {
        return EndOfLine();
    }
    if (quoted_) {
        if (escaped_) {
            escaped_ = false;
        } else if (c == '\\') {
            escaped_ = true;
        } else if (c == '"') {
            quoted_ = false;
        }
        return {};
    }
    if (c == '\r' && brace_ == TBrace::kClosed) {
        return {};  // "{n}" CR LF
    }
    if (brace_ == TBrace::kOpen && c >= '0' && c <= '9') {
        braceNumber_ =
            std::min(braceNumber_ * 10 + static_cast<std::uint64_t>(c - '0'), kSaturated);
        return {};
    }
    if (brace_ == TBrace::kOpen && c == '}') {
        brace_ = TBrace::kClosed;
        return {};
    }
    brace_ = TBrace::kNone;
    if (c == '{') {
        std::string why = EndOfToken();
        brace_ = TBrace::kOpen;
        braceNumber_ = 0;
        return why;
    }
    if (c == '"') {
        std::string why = EndOfToken();
        quoted_ = true;
        ++tokens_;
        previous_ = "\"";
        return why;
    }
    if (IsDelimiter(c)) {
        return EndOfToken();
    }
    if (token_.size() < kTokenKept) {
        token_.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    if (c >= '0' && c <= '9' && (digits_ || token_.size() == 1)) {
        digits_ = true;
        number_ = std::min(number_ * 10 + static_cast<std::uint64_t>(c - '0'), kSaturated);
    } else {
        digits_ = false;
    }
    return {};
}

std::string TImapReplyGuard::EndOfToken() {
    if (token_.empty()) {
        return {};
    }
    ++tokens_;
    std::string why;
    if (tokens_ == 1) {
        kind_ = token_ == "*"   ? TKind::kUntagged
                : token_ == "+" ? TKind::kContinuation
                                : TKind::kTagged;
    } else if (digits_ && number_ > UINT32_MAX &&
               ((kind_ == TKind::kUntagged && tokens_ == 2) ||
                std::find(kUint32Words.begin(), kUint32Words.end(), previous_) !=
                    kUint32Words.end())) {
        why = "番号 " +
              (number_ >= kSaturated ? std::string("(とても大きな数)") : std::to_string(number_)) +
              " が 32 ビットに収まりません";
    } else if (tokens_ == 3 && kind_ == TKind::kUntagged && token_ == "FETCH") {
        kind_ = TKind::kFetch;
    }
    previous_ = std::move(token_);
    token_.clear();
    digits_ = false;
    number_ = 0;
    return why;
}

std::string TImapReplyGuard::EndOfLine() {
    std::string why = EndOfToken();
    if (!why.empty()) {
        return why;
    }
    quoted_ = false;
    escaped_ = false;
    if (brace_ == TBrace::kClosed) {
        // A literal of braceNumber_ bytes follows; the line goes on after it.
        brace_ = TBrace::kNone;
        if (literalBytes_ + braceNumber_ > limits_.mail) {
            return "応答の 1 行のデータが " + Size(limits_.mail) + " を超えています";
        }
        if (!(streaming_ && kind_ == TKind::kFetch) &&
            responseBytes_ + braceNumber_ > limits_.response) {
            return "1 つの応答が " + Size(limits_.response) + " を超えています";
        }
        literalLeft_ = braceNumber_;
        previous_ = "{";
        return {};
    }
    brace_ = TBrace::kNone;
    switch (kind_) {
        case TKind::kTagged:
            responseBytes_ = 0;
            untagged_ = 0;
            streamed_ = 0;
            ++progress_;
            break;
        case TKind::kContinuation:
            break;
        case TKind::kFetch:
            if (streaming_) {
                ++progress_;
                if (++streamed_ > limits_.untagged + answers_) {
                    why = "1 つの応答の行が " + std::to_string(limits_.untagged + answers_) +
                          " 行を超えています";
                }
                break;
            }
            [[fallthrough]];
        case TKind::kUntagged:
        case TKind::kUnknown:
            if (++untagged_ > limits_.untagged) {
                why = "1 つの応答の行が " + std::to_string(limits_.untagged) + " 行を超えています";
            }
            break;
    }
    lineBytes_ = 0;
    literalBytes_ = 0;
    kind_ = TKind::kUnknown;
    tokens_ = 0;
    previous_.clear();
    return why;
}
