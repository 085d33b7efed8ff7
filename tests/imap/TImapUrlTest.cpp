#include <gtest/gtest.h>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "imap/TImapFolderName.h"
#include "imap/TImapUrl.h"

namespace {

TEST(TImapUrlTest, ReadsTheFormsPeopleWrite) {
    using S = TImapUrl::TSecurity;
    using A = TImapUrl::TAuth;
    struct TCase {
        const char* url;
        const char* host;
        int port;
        S security;
        A auth;
        const char* user;
        const char* folder;
    };
    const TCase cases[] = {
        {"imaps://taro@imap.example.com/INBOX", "imap.example.com", 993, S::kTls, A::kPassword,
         "taro", "INBOX"},
        {"imap://taro@host/INBOX", "host", 143, S::kStartTls, A::kPassword, "taro", "INBOX"},
        {"IMAPS://taro@host:10993/INBOX;UIDVALIDITY=385759045", "host", 10993, S::kTls,
         A::kPassword, "taro", "INBOX"},
        {"imaps://taro%40example.jp@host/", "host", 993, S::kTls, A::kPassword, "taro@example.jp",
         "INBOX"},
        {"imaps://taro;AUTH=XOAUTH2@host/INBOX", "host", 993, S::kTls, A::kXOAuth2, "taro",
         "INBOX"},
        {"imaps://taro;AUTH=*@host/a%20b", "host", 993, S::kTls, A::kPassword, "taro", "a b"},
        {"imaps://taro@[::1]:2993/受信箱/注文", "::1", 2993, S::kTls, A::kPassword, "taro",
         "受信箱/注文"},
        {"imaps://taro@host/%E5%8F%97%E4%BF%A1%E7%AE%B1", "host", 993, S::kTls, A::kPassword,
         "taro", "受信箱"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.url);
        const TImapUrl url = TImapUrl::Parse(c.url);
        EXPECT_EQ(url.host, c.host);
        EXPECT_EQ(url.port, c.port);
        EXPECT_EQ(url.security, c.security);
        EXPECT_EQ(url.auth, c.auth);
        EXPECT_EQ(url.user, c.user);
        EXPECT_EQ(url.folder, c.folder);
    }
}

TEST(TImapUrlTest, RefusesWhatCannotBeReached) {
    for (const char* url :
         {"http://taro@host/INBOX", "imaps://host/INBOX", "imaps://@host/INBOX",
          "imaps://taro@/INBOX", "imaps://taro@host:0/INBOX", "imaps://taro@host:65536/INBOX",
          "imaps://taro@host:99999999999/", "imaps://taro@host:/INBOX",
          "imaps://taro@host:1a/INBOX", "imaps://taro@[::1/INBOX", "imaps://taro@host/a%2",
          "imaps://taro@host/a%zz", "imaps://taro@host/a%00b", "imaps://taro;AUTH=GSSAPI@host/",
          "imaps://taro@ho st/"}) {
        SCOPED_TRACE(url);
        try {
            TImapUrl::Parse(url);
            ADD_FAILURE() << "accepted";
        } catch (const TKestrifyError& e) {
            EXPECT_NE(TSjisUnicode::ToUtf8(e.what()).find("IMAP の URL を読めません"),
                      std::string::npos);
        }
    }
}

TEST(TImapUrlTest, RefusesLineBreaksAndZeroBytesInEveryPart) {
    // A line break that reached a command would start a command of the
    // project's choosing ("X DELETE INBOX").
    for (const char* url :
         {"imaps://u%0D%0AX%20DELETE%20INBOX@host/INBOX", "imaps://u%0A@host/INBOX",
          "imaps://u%00@host/INBOX", "imaps://u;AUTH=XOAUTH2%0D@host/INBOX",
          "imaps://u@ho%0Ast/INBOX", "imaps://u@host/IN%0DBOX", "imaps://u@host/IN%00BOX",
          "imaps://u\r\n@host/INBOX", "imaps://u@host/IN\nBOX"}) {
        SCOPED_TRACE(url);
        try {
            TImapUrl::Parse(url);
            ADD_FAILURE() << "accepted";
        } catch (const TKestrifyError& e) {
            const std::string message = TSjisUnicode::ToUtf8(e.what());
            EXPECT_NE(message.find("IMAP の URL を読めません"), std::string::npos) << message;
            EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
        }
    }
}

TEST(TImapFolderNameTest, SpellsNamesAsServersDo) {
    const std::pair<const char*, const char*> pairs[] = {
        {"INBOX", "INBOX"},
        {"~peter/mail/台北/日本語", "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},  // RFC 3501's example
        {"A&B", "A&-B"},
        {"受信箱", "&U9dP4Xux-"},
        {"😀", "&2D3eAA-"},  // outside the BMP: a surrogate pair
    };
    for (const auto& [utf8, mutf7] : pairs) {
        SCOPED_TRACE(utf8);
        EXPECT_EQ(TImapFolderName::ToModifiedUtf7(utf8), mutf7);
        EXPECT_EQ(TImapFolderName::Read(mutf7).name, utf8);
        EXPECT_EQ(TImapFolderName::Read(mutf7).display, utf8);
    }
    EXPECT_EQ(TImapFolderName::ToModifiedUtf7("a\tb"), "a&AAk-b");
    EXPECT_THROW(TImapFolderName::ToModifiedUtf7("\xff"), TKestrifyError);
    EXPECT_THROW(TImapFolderName::ToModifiedUtf7("\xe5\x8f"), TKestrifyError);
}

TEST(TImapFolderNameTest, DamagedNamesKeepTheServersBytesAndShowAReplacement) {
    const std::pair<const char*, const char*> cases[] = {
        {"&", "\uFFFD"},
        {"&Zz!-", "\uFFFD"},
        {"&2D3-", "\uFFFD"},                     // half a surrogate pair
        {"&AB-", "\uFFFD"},                      // bits left over
        {"a&AAA-b", "a\uFFFDb"},                 // NUL
        {"a&AAk-b", "a\uFFFDb"},                 // a control character
        {"&AGEAYg-", "\uFFFD"},                  // "ab", which is written as itself
        {"&ZeU-&Zyw-", "日本"},                  // readable, but spelled back otherwise
        {"x&U9dP4Xux-\x01", "x受信箱\uFFFD"},    // a raw control byte
        {"\xe5\x8f\x97", "\uFFFD\uFFFD\uFFFD"},  // raw 8-bit bytes
    };
    for (const auto& [mutf7, display] : cases) {
        SCOPED_TRACE(mutf7);
        const TImapFolderName::TRead read = TImapFolderName::Read(mutf7);
        EXPECT_EQ(read.name, mutf7);
        EXPECT_EQ(read.display, display);
    }
}

}  // namespace
