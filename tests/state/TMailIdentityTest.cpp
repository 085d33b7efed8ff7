#include <gtest/gtest.h>

#include <set>

#include "state/THash128.h"
#include "state/TMailIdentity.h"

namespace {

struct TSameCase {
    const char* name;
    const char* a;
    const char* b;
    bool sameHeader;
};

// Pairs of header blocks and whether they are one mail.
const TSameCase kCases[] = {
    {"line endings", "Subject: a\r\nFrom: x\r\n", "Subject: a\nFrom: x\n", true},
    {"flags", "Subject: a\nStatus: RO\nX-Status: F\n", "Subject: a\n", true},
    {"folded flag header", "X-Keywords: a\n b\nSubject: a\n", "Subject: a\n", true},
    {"mozilla flags any case", "x-mozilla-status: 0001\nSubject: a\n",
     "X-Mozilla-Status: 0009\nSubject: a\n", true},
    {"body is not read", "Subject: a\n\nbody one\n", "Subject: a\n\nbody two\n", true},
    {"subject differs", "Subject: a\n", "Subject: b\n", false},
    {"header order", "Subject: a\nFrom: x\n", "From: x\nSubject: a\n", false},
    {"folding is content", "Subject: a\n b\n", "Subject: a b\n", false},
    {"status-like name", "Statusx: 1\nSubject: a\n", "Subject: a\n", false},
};

TEST(TMailIdentityTest, TellsMailsApartByTheirHeaderBlock) {
    for (const TSameCase& c : kCases) {
        const TMailIdentity a = TMailIdentity::OfHeader(c.a);
        const TMailIdentity b = TMailIdentity::OfHeader(c.b);
        EXPECT_EQ(a == b, c.sameHeader) << c.name;
    }
}

TEST(TMailIdentityTest, MessageIdIsTheBracketedAddress) {
    const std::uint64_t id = TMailIdentity::OfHeader("Message-ID: <a@b>\n").messageId;
    EXPECT_NE(id, 0u);
    EXPECT_EQ(TMailIdentity::OfHeader("message-id:   <a@b> (comment)\n").messageId, id);
    EXPECT_EQ(TMailIdentity::OfHeader("Message-Id:\n <a@b>\n").messageId, id) << "folded";
    EXPECT_EQ(TMailIdentity::OfHeader("Message-ID: <a@b>\nMessage-ID: <c@d>\n").messageId, id)
        << "the first one counts";
    EXPECT_NE(TMailIdentity::OfHeader("Message-ID: <a@c>\n").messageId, id);
    EXPECT_EQ(TMailIdentity::OfHeader("Subject: x\n").messageId, 0u);
    EXPECT_EQ(TMailIdentity::OfHeader("Message-ID:\nSubject: x\n").messageId, 0u);
    EXPECT_EQ(TMailIdentity::OfHeader("Message-ID: <>\n").messageId, 0u);
    EXPECT_EQ(TMailIdentity::OfHeader("\nMessage-ID: <a@b>\n").messageId, 0u) << "in the body";
}

TEST(TMailIdentityTest, LinesAndTextGiveTheSameIdentity) {
    const std::string_view lines[] = {"Message-ID: <a@b>", "Subject: x", "", "body"};
    EXPECT_EQ(TMailIdentity::Of(lines),
              TMailIdentity::OfHeader("Message-ID: <a@b>\r\nSubject: x\r\n\r\nbody\r\n"));
}

TEST(THash128Test, EveryLengthAndEveryByteCounts) {
    // Lengths around the 8- and 16-byte blocks, each differing in its last byte.
    std::set<THash128::TValue> seen;
    std::string text;
    for (int n = 0; n < 40; ++n) {
        text.push_back('a');
        ASSERT_TRUE(seen.insert(THash128::Of(text)).second) << n;
        text.back() = 'b';
        ASSERT_TRUE(seen.insert(THash128::Of(text)).second) << n;
        text.back() = 'a';
    }
    EXPECT_TRUE(seen.insert(THash128::Of("")).second);
}

}  // namespace
