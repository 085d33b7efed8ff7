// What a server may send before the client stops listening: each case is
// the bytes of a session after the greeting, fed in pieces as a network
// would hand them over.

#include <gtest/gtest.h>

#include <string>

#include "imap/TImapReplyGuard.h"

namespace {

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// Feeds `bytes` in pieces of 7; the first complaint, or empty.
std::string Feed(TImapReplyGuard& guard, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 7) {
        std::string why = guard.Feed(std::string_view(bytes).substr(at, 7));
        if (!why.empty()) {
            return why;
        }
    }
    return {};
}

TEST(TImapReplyGuardTest, BoundsLinesLiteralsResponsesAndNumbers) {
    const TImapReplyGuard::TLimits limits{
        .line = 200, .mail = 1000, .response = 5000, .untagged = 10, .progressBytes = 100};
    const std::string mail(900, 'm');
    struct TCase {
        const char* what;
        int answers;  // FETCH answers expected while streaming; -1: not streaming
        std::string bytes;
        const char* complaint;  // a word of it, or nullptr: accepted
    };
    const TCase cases[] = {
        {"a listing", -1,
         "* 1 FETCH (UID 4294967295 RFC822.SIZE 12)\r\n* OK [UIDVALIDITY 3] x\r\n2 OK done\r\n",
         nullptr},
        {"mails one by one, many in one response", 20,
         Repeat("* 1 FETCH (UID 7 BODY[] {900}\r\n" + mail + ")\r\n", 20) + "3 OK done\r\n",
         nullptr},
        {"the count starts again at each tagged line", -1,
         Repeat(Repeat("* 1 EXISTS\r\n", 9) + "4 OK done\r\n", 5), nullptr},
        {"braces, a big number and a quote inside a quoted string", -1,
         "* LIST () \"/\" \"a {99999} \\\" UID 99999999999\"\r\n5 OK done\r\n", nullptr},
        {"a line too long", -1, std::string(201, 'x'), "1 行"},
        {"a literal too large", 20, "* 1 FETCH (BODY[] {1001}\r\n", "データ"},
        {"two literals of one line too large", 20,
         "* 1 FETCH (BODY[] {600}\r\n" + std::string(600, 'm') + " BODY[HEADER] {600}\r\n",
         "データ"},
        {"a huge literal", 20, "* 1 FETCH (BODY[] {99999999999}\r\n", "データ"},
        {"untagged lines kept past the limit", -1, Repeat("* 1 EXISTS\r\n", 11), "行を超え"},
        {"FETCH answers kept when not streamed", -1, Repeat("* 1 FETCH (FLAGS ())\r\n", 11),
         "行を超え"},
        {"streamed FETCH answers still count as text", 1000,
         Repeat("* 1 FETCH (FLAGS ())\r\n", 300), "応答が"},
        {"literals of lines that are kept count as text", -1,
         Repeat("* LIST () \"/\" {900}\r\n" + mail + "\r\n", 6), "応答が"},
        {"a UID beyond 32 bits", -1, "* 1 FETCH (UID 4294967296)\r\n", "32 ビット"},
        {"a size beyond 32 bits", -1, "* 1 FETCH (RFC822.SIZE 99999999999999999999)\r\n",
         "32 ビット"},
        {"a sequence number beyond 32 bits", -1, "* 4294967296 EXISTS\r\n", "32 ビット"},
        {"UIDVALIDITY beyond 32 bits", -1, "* OK [UIDVALIDITY 4294967296] x\r\n", "32 ビット"},
        {"streamed FETCH answers beyond those asked for", 5, Repeat("* 1 FETCH (FLAGS ())\r\n", 16),
         "行を超え"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TImapReplyGuard guard(limits);
        guard.SetStreaming(c.answers >= 0, c.answers < 0 ? 0 : c.answers);
        const std::string why = Feed(guard, c.bytes);
        if (c.complaint == nullptr) {
            EXPECT_EQ(why, "");
        } else {
            EXPECT_NE(why.find(c.complaint), std::string::npos) << why;
        }
    }
}

TEST(TImapReplyGuardTest, ProgressIsAFetchAnswerOrAShareOfALiteral) {
    TImapReplyGuard guard;
    guard.SetStreaming(true);
    const std::uint64_t start = guard.Progress();
    ASSERT_EQ(guard.Feed("* 1 FETCH (UID 1 BODY[] {200000}\r\n"), "");
    EXPECT_EQ(guard.Progress(), start);  // a line that goes on is no answer yet
    ASSERT_EQ(guard.Feed(std::string(100000, 'm')), "");
    const std::uint64_t during = guard.Progress();
    EXPECT_GT(during, start);
    ASSERT_EQ(guard.Feed(std::string(100000, 'm') + ")\r\n"), "");
    EXPECT_GT(guard.Progress(), during);
    // A trickle of lines that are no answers is no progress.
    const std::uint64_t before = guard.Progress();
    ASSERT_EQ(guard.Feed("* OK still here\r\n* OK still here\r\n"), "");
    EXPECT_EQ(guard.Progress(), before);
}

}  // namespace
