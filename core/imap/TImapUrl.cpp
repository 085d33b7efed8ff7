#include "imap/TImapUrl.h"

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (sjis::AsciiLower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::size_t FindNoCase(std::string_view text, std::string_view lowerNeedle) {
    for (std::size_t i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        if (StartsWithNoCase(text.substr(i), lowerNeedle)) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The URL as a message shows it: control bytes %-encoded, so that a line
// break in it cannot forge a line of the message.
std::string Shown(std::string_view url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += {'%', kHex[byte >> 4], kHex[byte & 15]};
        } else {
            out.push_back(c);
        }
    }
    return out;
}

[[noreturn]] void Fail(std::string_view url, const char* why) {
    throw TKestrifyError(
        TSjisUnicode::FromUtf8("IMAP の URL を読めません: " + Shown(url) + " (" + why + ")"));
}

// A line break or a zero byte would end or cut a command to the server.
constexpr const char* kBreakWhy =
    "改行 (CR, LF) と 0 のバイトは URL のどこにも使えません。%0D, %0A, %00 を除いてください";

bool HasBreakOrZero(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string PercentDecoded(std::string_view text, std::string_view url) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        const int high = i + 2 < text.size() ? sjis::HexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? sjis::HexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            Fail(url, "% の後に 16 進数 2 桁がありません");
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (HasBreakOrZero(out)) {
        Fail(url, kBreakWhy);
    }
    return out;
}

}  // namespace

bool TImapUrl::IsImapUrl(std::string_view text) {
    return StartsWithNoCase(text, "imaps://") || StartsWithNoCase(text, "imap://");
}

TImapUrl TImapUrl::Parse(std::string_view utf8Url) {
    TImapUrl url;
    if (HasBreakOrZero(utf8Url)) {
        Fail(utf8Url, kBreakWhy);
    }
    std::string_view rest;
    if (StartsWithNoCase(utf8Url, "imaps://")) {
        rest = utf8Url.substr(8);
    } else if (StartsWithNoCase(utf8Url, "imap://")) {
        rest = utf8Url.substr(7);
        url.security = TSecurity::kStartTls;
        url.port = 143;
    } else {
        Fail(utf8Url, "imaps:// か imap:// で始まっていません");
    }

    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash + 1);

    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos || at == 0) {
        Fail(utf8Url, "ユーザ名がありません");
    }
    std::string_view user = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    if (const std::size_t semi = FindNoCase(user, ";auth="); semi != std::string_view::npos) {
        const std::string decoded = PercentDecoded(user.substr(semi + 6), utf8Url);
        const std::string_view mechanism = decoded;
        if (StartsWithNoCase(mechanism, "xoauth2") && mechanism.size() == 7) {
            url.auth = TAuth::kXOAuth2;
        } else if (mechanism != "*" &&
                   !(StartsWithNoCase(mechanism, "plain") && mechanism.size() == 5) &&
                   !(StartsWithNoCase(mechanism, "login") && mechanism.size() == 5)) {
            Fail(utf8Url, "AUTH= には PLAIN, LOGIN, XOAUTH2 のどれかを書きます");
        }
        user = user.substr(0, semi);
    }
    url.user = PercentDecoded(user, utf8Url);
    if (url.user.empty()) {
        Fail(utf8Url, "ユーザ名がありません");
    }

    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            Fail(utf8Url, "] がありません");
        }
        url.host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (!authority.empty()) {
            if (authority.front() != ':') {
                Fail(utf8Url, "] の後にはポート番号だけを書きます");
            }
            portText = authority.substr(1);
            if (portText.empty()) {
                Fail(utf8Url, "ポート番号がありません");
            }
        }
    } else {
        const std::size_t colon = authority.find(':');
        url.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) {
                Fail(utf8Url, "ポート番号がありません");
            }
        }
    }
    if (url.host.empty()) {
        Fail(utf8Url, "サーバ名がありません");
    }
    for (const char c : url.host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '%' || c == '@') {
            Fail(utf8Url, "サーバ名に使えない文字があります");
        }
    }
    if (!portText.empty()) {
        int port = 0;
        for (const char c : portText) {
            if (c < '0' || c > '9' || port > 65535) {
                Fail(utf8Url, "ポート番号は 1 から 65535 の数です");
            }
            port = port * 10 + (c - '0');
        }
        if (port < 1 || port > 65535) {
            Fail(utf8Url, "ポート番号は 1 から 65535 の数です");
        }
        url.port = port;
    }

    if (const std::size_t semi = FindNoCase(path, ";uidvalidity=");
        semi != std::string_view::npos) {
        path = path.substr(0, semi);
    }
    while (!path.empty() && path.back() == '/') {
        path.remove_suffix(1);
    }
    url.folder = path.empty() ? std::string("INBOX") : PercentDecoded(path, utf8Url);
    return url;
}
