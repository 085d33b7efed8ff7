// Writes an mbox of Japanese web-form inquiry mails for timing the whole
// command (bench/run-cli-bench.sh):
//   gen_form_mbox COUNT OUTPUT.mbox
// The mails follow the layout that examples/inquiries.KFY extracts, in the
// mix of encodings real form mailers send: ISO-2022-JP 7bit, UTF-8 in
// Base64 and in quoted-printable, Shift_JIS and EUC-JP 8bit, and
// multipart/alternative with a UTF-8 text part and an HTML part. The output
// depends only on COUNT.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "codeconv/TIconv.h"

namespace {

// Small deterministic generator (xorshift64*), so every run writes the same
// file.
class TRandom {
  public:
    explicit TRandom(std::uint64_t seed) : state_(seed ? seed : 1) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    template <typename T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(static_cast<int>(N))];
    }

  private:
    std::uint64_t state_;
};

struct TName {
    const char* kanji;
    const char* kana;
    const char* roman;
};

const TName kSurnames[] = {
    {"佐藤", "サトウ", "sato"},        {"鈴木", "スズキ", "suzuki"},
    {"高橋", "タカハシ", "takahashi"}, {"田中", "タナカ", "tanaka"},
    {"伊藤", "イトウ", "ito"},         {"渡辺", "ワタナベ", "watanabe"},
    {"山本", "ヤマモト", "yamamoto"},  {"中村", "ナカムラ", "nakamura"},
    {"小林", "コバヤシ", "kobayashi"}, {"加藤", "カトウ", "kato"},
    {"吉田", "ヨシダ", "yoshida"},     {"山田", "ヤマダ", "yamada"},
    {"佐々木", "ササキ", "sasaki"},    {"髙橋", "タカハシ", "takahashi"},
    {"齋藤", "サイトウ", "saito"},     {"松本", "マツモト", "matsumoto"},
};
const TName kGivenNames[] = {
    {"太郎", "タロウ", "taro"},      {"花子", "ハナコ", "hanako"},  {"一郎", "イチロウ", "ichiro"},
    {"美咲", "ミサキ", "misaki"},    {"翔太", "ショウタ", "shota"}, {"陽菜", "ヒナ", "hina"},
    {"大輔", "ダイスケ", "daisuke"}, {"結衣", "ユイ", "yui"},       {"健一", "ケンイチ", "kenichi"},
    {"さくら", "サクラ", "sakura"},  {"誠", "マコト", "makoto"},    {"愛", "アイ", "ai"},
};
const char* const kDomains[] = {"example.com", "example.co.jp", "example.ne.jp",
                                "example.jp",  "example.org",   "mail.example.net"};
const char* const kKinds[] = {"資料請求", "お見積もり",   "製品について",
                              "サポート", "採用について", "その他"};
const char* const kTelLabels[] = {"電話番号：", "電話番号：", "TEL：", "ＴＥＬ："};
const char* const kPhrases[] = {
    "いつもお世話になっております。",
    "製品カタログを送っていただけますでしょうか。",
    "①ノートパソコン 10台、②保守契約 3年の見積もりをお願いします。",
    "先日購入した製品の設定方法が分かりません。",
    "御社の営業時間を教えてください。",
    "送り先は会社宛てでお願いします。",
    "担当の方から折り返しご連絡をいただけますと幸いです。",
    "\"English catalog, 2024 edition\" があれば送ってください。",
    "急ぎではありませんので、よろしくお願いいたします。",
    "〒100-0005 東京都千代田区丸の内1-2-3 サンプルビル4階",
    "請求書の宛名は「株式会社サンプル」でお願いします。",
    "ＦＡＸでの送付も可能です。",
};
const char* const kZones[] = {"+0900", "+0900", "+0900", "+0000", "-0500", "+0100"};
const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

enum class TLayout { Jis, Utf8Base64, Utf8Qp, Sjis, Euc, Alternative };

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes, std::size_t lineLength) {
    std::string out;
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) {
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        }
        if (i + 2 < bytes.size()) {
            v |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
        column += 4;
        if (lineLength > 0 && column >= lineLength && i + 3 < bytes.size()) {
            out += '\n';
            column = 0;
        }
    }
    return out;
}

// Quoted-printable of text whose lines end in LF, soft-broken at 76.
std::string QuotedPrintable(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t column = 0;
    for (const char c : bytes) {
        if (c == '\n') {
            out += '\n';
            column = 0;
            continue;
        }
        const auto b = static_cast<unsigned char>(c);
        const bool plain = b >= 0x21 && b <= 0x7E && b != '=';
        const std::size_t width = plain ? 1 : 3;
        if (column + width > 75) {
            out += "=\n";
            column = 0;
        }
        if (plain) {
            out += c;
        } else {
            out += '=';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        column += width;
    }
    return out;
}

class TFormMailWriter {
  public:
    explicit TFormMailWriter(std::ostream& out) : out_(out), random_(20240603) {}

    void Write(int number) {
        const TName& surname = random_.Pick(kSurnames);
        const TName& given = random_.Pick(kGivenNames);
        const std::string name = std::string(surname.kanji) + " " + given.kanji;
        const std::string address = std::string(given.roman) + "." + surname.roman +
                                    std::to_string(number % 997) + "@" + random_.Pick(kDomains);
        const TLayout layout = PickLayout();
        const char* charset = Charset(layout);

        std::vector<std::string> body = Body(number, surname, given, address);
        std::string text;
        for (const std::string& line : body) {
            text += line;
            text += '\n';
        }
        const std::string date = Date(number);
        out_ << "From " << address << " " << date.substr(0, 3) << " Jun  3 09:00:00 2024\n";
        out_ << "Return-Path: <" << address << ">\n";
        out_ << "Received: from form.example.co.jp (form.example.co.jp [192.0.2." << number % 250
             << "])\n\tby mx.example.co.jp with ESMTP id " << std::hex << number * 7919 << std::dec
             << "\n\tfor <info@example.co.jp>; " << date << "\n";
        out_ << "Message-ID: <form." << number << "@form.example.co.jp>\n";
        out_ << "Date: " << date << "\n";
        out_ << "From: " << Word(charset, name) << " <" << address << ">\n";
        out_ << "To: info@example.co.jp\n";
        out_ << "Subject: " << Word(charset, std::string("【お問い合わせ】") + kind_) << "\n";
        out_ << "MIME-Version: 1.0\n";
        out_ << "X-Mailer: FormMailer 2.1\n";
        WriteBody(layout, charset, text, number);
        out_ << "\n";
    }

  private:
    TLayout PickLayout() {
        const int r = random_.Below(100);
        if (r < 40) {
            return TLayout::Jis;
        }
        if (r < 60) {
            return TLayout::Utf8Base64;
        }
        if (r < 75) {
            return TLayout::Utf8Qp;
        }
        if (r < 85) {
            return TLayout::Sjis;
        }
        if (r < 95) {
            return TLayout::Euc;
        }
        return TLayout::Alternative;
    }

    static const char* Charset(TLayout layout) {
        switch (layout) {
            case TLayout::Jis:
                return "ISO-2022-JP";
            case TLayout::Sjis:
                return "Shift_JIS";
            case TLayout::Euc:
                return "EUC-JP";
            default:
                return "UTF-8";
        }
    }

    static const char* IconvName(std::string_view charset) {
        if (charset == "EUC-JP") {
            return "EUC-JP-MS";
        }
        return charset == "UTF-8" ? "UTF-8" : "CP932";
    }

    static std::string Encode(std::string_view charset, std::string_view utf8) {
        if (charset == "UTF-8") {
            return std::string(utf8);
        }
        std::string out;
        TIconv::ForThread(IconvName(charset), "UTF-8").Convert(utf8, out, &TIconv::SkipUtf8);
        return charset == "ISO-2022-JP" ? SjisToJis(out) : out;
    }

    // ISO-2022-JP as Windows form mailers write it: the JIS pair of every
    // Shift_JIS character, NEC special characters included; IBM extensions
    // have no pair and become "?".
    static std::string SjisToJis(std::string_view sjis) {
        std::string out;
        bool kanji = false;
        const auto mode = [&](bool wantKanji) {
            if (wantKanji != kanji) {
                out += wantKanji ? "\x1b$B" : "\x1b(B";
                kanji = wantKanji;
            }
        };
        for (std::size_t i = 0; i < sjis.size(); ++i) {
            auto c1 = static_cast<unsigned char>(sjis[i]);
            const bool lead = (c1 >= 0x81 && c1 <= 0x9F) || (c1 >= 0xE0 && c1 <= 0xFC);
            if (!lead || i + 1 >= sjis.size()) {
                mode(false);
                out += c1 < 0x80 ? static_cast<char>(c1) : '?';
                continue;
            }
            auto c2 = static_cast<unsigned char>(sjis[++i]);
            if (c1 >= 0xF0) {
                mode(false);
                out += '?';
                continue;
            }
            if (c1 >= 0xE0) {
                c1 = static_cast<unsigned char>(c1 - 0x40);
            }
            int row = (c1 - 0x81) * 2 + 0x21;
            int cell = 0;
            if (c2 >= 0x9F) {
                ++row;
                cell = c2 - 0x9F + 0x21;
            } else {
                cell = c2 - 0x40 + 0x21 - (c2 >= 0x80 ? 1 : 0);
            }
            mode(true);
            out += static_cast<char>(row);
            out += static_cast<char>(cell);
        }
        mode(false);
        return out;
    }

    static std::string Word(std::string_view charset, std::string_view utf8) {
        return "=?" + std::string(charset) + "?B?" + Base64(Encode(charset, utf8), 0) + "?=";
    }

    std::string Date(int number) {
        const int day = 1 + number % 28;
        char text[64];
        std::snprintf(text, sizeof text, "%s, %d %s 2024 %02d:%02d:%02d %s", kDays[(day + 5) % 7],
                      day, kMonths[number / 28 % 12], random_.Below(24), random_.Below(60),
                      random_.Below(60), random_.Pick(kZones));
        return text;
    }

    std::vector<std::string> Body(int number, const TName& surname, const TName& given,
                                  const std::string& address) {
        kind_ = random_.Pick(kKinds);
        std::vector<std::string> lines = {
            "ホームページのお問い合わせフォームから、次の内容が送信されました。",
            "",
            "受付番号：FORM-" + std::to_string(100000 + number),
            std::string("■お名前：") + surname.kanji + " " + given.kanji,
            std::string("■フリガナ：") + surname.kana + " " + given.kana,
            "■メールアドレス：" + address,
            std::string("■") + random_.Pick(kTelLabels) + "0" + std::to_string(3 + number % 7) +
                "-" + std::to_string(1000 + number % 9000) + "-" +
                std::to_string(1000 + (number * 7) % 9000),
            std::string("■お問い合わせ種別：") + kind_,
            "■お問い合わせ内容：",
        };
        const int count = 1 + random_.Below(8);
        for (int i = 0; i < count; ++i) {
            lines.emplace_back(random_.Pick(kPhrases));
        }
        lines.emplace_back("■ここまで");
        lines.emplace_back("");
        lines.emplace_back("--");
        lines.emplace_back("このメールはフォームから自動で送信されています。");
        return lines;
    }

    void WriteBody(TLayout layout, const char* charset, const std::string& text, int number) {
        switch (layout) {
            case TLayout::Jis:
                Part(charset, "7bit", Encode(charset, text));
                break;
            case TLayout::Sjis:
            case TLayout::Euc:
                Part(charset, "8bit", Encode(charset, text));
                break;
            case TLayout::Utf8Base64:
                Part(charset, "base64", Base64(text, 76) + "\n");
                break;
            case TLayout::Utf8Qp:
                Part(charset, "quoted-printable", QuotedPrintable(text));
                break;
            case TLayout::Alternative: {
                const std::string boundary = "----=_Part_" + std::to_string(number);
                out_ << "Content-Type: multipart/alternative; boundary=\"" << boundary
                     << "\"\n\nThis is a multi-part message in MIME format.\n\n--" << boundary
                     << "\n";
                Part(charset, "quoted-printable", QuotedPrintable(text));
                out_ << "\n--" << boundary << "\n";
                const std::string html = "<html><body><pre>" + text + "</pre></body></html>";
                Part("UTF-8", "base64", Base64(html, 76) + "\n", "text/html");
                out_ << "\n--" << boundary << "--\n";
                break;
            }
        }
    }

    void Part(std::string_view charset, std::string_view encoding, const std::string& bytes,
              std::string_view type = "text/plain") {
        out_ << "Content-Type: " << type << "; charset=" << charset << "\n";
        out_ << "Content-Transfer-Encoding: " << encoding << "\n\n";
        out_ << bytes;
    }

    std::ostream& out_;
    TRandom random_;
    std::string kind_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gen_form_mbox COUNT OUTPUT.mbox\n";
        return 2;
    }
    const int count = std::atoi(argv[1]);
    std::ofstream out(argv[2], std::ios::binary);
    if (count <= 0 || !out) {
        std::cerr << "gen_form_mbox: bad count or cannot write " << argv[2] << "\n";
        return 2;
    }
    TFormMailWriter writer(out);
    for (int i = 1; i <= count; ++i) {
        writer.Write(i);
    }
    out.close();
    return out ? 0 : 1;
}
