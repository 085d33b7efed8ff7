#pragma once
// Watches the bytes an IMAP server sends before libetpan sees them, so that
// a hostile or broken server cannot make the client hold without bound: one
// response line, the literals of one line, one response (everything up to
// its tagged line) and the untagged lines kept for one response are
// bounded, and numbers that must fit in 32 bits (UIDs, sizes, sequence
// numbers) do. It also tells progress: a FETCH answer complete, or a share
// of a literal, for the deadline of a fetch that is slow but moving.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TImapReplyGuard {
  public:
    struct TLimits {
        std::size_t line = 1u << 20;           // text of one response line, literals aside
        std::size_t mail = 256u << 20;         // the literals of one response line: one mail
        std::size_t response = 128u << 20;     // text held for one response
        std::size_t untagged = 100'000;        // untagged lines held for one response
        std::size_t progressBytes = 64 << 10;  // literal bytes that count as progress
    };

    TImapReplyGuard() = default;
    explicit TImapReplyGuard(const TLimits& limits) : limits_(limits) {}

    // Checks the next bytes from the server. Empty when they are within the
    // limits, else why not (UTF-8).
    std::string Feed(std::string_view bytes);
    // While FETCH answers are handed over one by one as they arrive, they
    // are not kept: they count against the text of the response, and
    // against the untagged limit only beyond the `answers` expected.
    void SetStreaming(bool streaming, std::size_t answers = 0) {
        streaming_ = streaming;
        answers_ = answers;
    }
    // Rises with each FETCH answer completed and each share of a literal.
    std::uint64_t Progress() const { return progress_; }
    const TLimits& Limits() const { return limits_; }

  private:
    enum class TKind { kUnknown, kUntagged, kFetch, kContinuation, kTagged };

    std::string Byte(char c);
    std::string EndOfToken();
    std::string EndOfLine();
    std::string Literal(std::string_view& bytes);

    TLimits limits_{};
    bool streaming_ = false;
    std::size_t answers_ = 0;
    std::uint64_t progress_ = 0;

    std::uint64_t literalLeft_ = 0;
    std::uint64_t literalBytes_ = 0;  // of the current response line
    std::size_t lineBytes_ = 0;
    std::size_t responseBytes_ = 0;
    std::size_t untagged_ = 0;
    std::size_t streamed_ = 0;  // FETCH answers handed over in this response
    TKind kind_ = TKind::kUnknown;
    int tokens_ = 0;  // of the current response line, literals aside
    bool quoted_ = false;
    bool escaped_ = false;
    std::string token_;         // the token being read (its first bytes, upper case)
    std::string previous_;      // the token before it
    std::uint64_t number_ = 0;  // the token's value while it is digits
    bool digits_ = false;
    // "{digits}" last on the line so far: the line ends with a literal.
    enum class TBrace { kNone, kOpen, kClosed } brace_ = TBrace::kNone;
    std::uint64_t braceNumber_ = 0;
};
