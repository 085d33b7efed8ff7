// HTML bodies turned into text: the throughput of the text step on a
// typical shop notification (layout tables, a style block, order rows,
// <br> lines), and what the step adds to reading 100,000 HTML-only mails
// (each mail built with HTML text off and on; the difference is the step's
// share).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/LineSplitter.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/THtmlText.h"
#include "mail/TMail.h"

namespace {

std::string NotificationHtml() {
    std::string html =
        "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\">"
        "<title>ご注文の確認</title><style type=\"text/css\">"
        "body{margin:0;padding:0} table{border-collapse:collapse} td.l{width:30%}"
        "</style></head><body>\n"
        "<table width=\"100%\" cellpadding=\"0\" cellspacing=\"0\"><tr><td align=\"center\">\n"
        "<table width=\"600\" cellpadding=\"8\"><tr><td><img src=\"https://shop.example.jp/"
        "logo.png\" alt=\"サンプル商店\"></td></tr><tr><td>\n"
        "<p>山田 太郎 様</p><p>この度はご注文いただき、誠にありがとうございます。<br>\n"
        "ご注文内容は以下のとおりです。</p>\n<table border=\"1\" cellpadding=\"4\">\n"
        "<tr><th class=\"l\">ご注文番号</th><td>SO-2024-000871</td></tr>\n"
        "<tr><th class=\"l\">お名前</th><td>山田&nbsp;太郎</td></tr>\n"
        "<tr><th class=\"l\">お届け先</th><td>〒100-0005<br>東京都千代田区丸の内1-2-3</td></tr>\n";
    for (int i = 0; i < 40; ++i) {
        html += "<tr><td class=\"l\">商品" + std::to_string(i) +
                "</td><td><a href=\"https://shop.example.jp/item/" + std::to_string(i) +
                "\">オーガニックコットン タオル（" + std::to_string(i % 5 + 1) +
                "枚組）</a> &times; 1 &yen;1,980</td></tr>\n";
    }
    html +=
        "</table><p>お問い合わせは <a href=\"mailto:support@shop.example.jp\">サポート窓口</a>"
        " まで。</p></td></tr></table></td></tr></table>\n"
        "<!-- tracking --><img src=\"https://shop.example.jp/t.gif\" width=\"1\" height=\"1\">"
        "</body></html>\n";
    return html;
}

void BM_HtmlToText(benchmark::State& state) {
    const std::string sjis = TSjisUnicode::FromUtf8(NotificationHtml());
    for (auto _ : state) {
        benchmark::DoNotOptimize(THtmlText::FromSjis(sjis));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sjis.size()));
}
BENCHMARK(BM_HtmlToText);

// The parser and the text builder alone, without the two conversions.
void BM_HtmlToTextUtf8(benchmark::State& state) {
    const std::string html = NotificationHtml();
    for (auto _ : state) {
        benchmark::DoNotOptimize(THtmlText::FromUtf8(html));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(html.size()));
}
BENCHMARK(BM_HtmlToTextUtf8);

std::string QuotedPrintable(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t lineLength = 0;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        std::string piece;
        if (c == '\n') {
            out += "\n";
            lineLength = 0;
            continue;
        }
        if (u >= 0x80 || c == '=') {
            piece = {'=', kHex[u >> 4], kHex[u & 15]};
        } else {
            piece = std::string(1, c);
        }
        if (lineLength + piece.size() > 75) {
            out += "=\n";
            lineLength = 0;
        }
        out += piece;
        lineLength += piece.size();
    }
    return out;
}

// arg 0: HTML text off, 1: on.
void BM_HtmlOnlyMails(benchmark::State& state) {
    const std::string text =
        "From: order@shop.example.jp\nTo: taro@example.com\nSubject: order\n"
        "Date: Mon, 8 Apr 2024 10:12:33 +0900\nMIME-Version: 1.0\n"
        "Content-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n" +
        QuotedPrintable(NotificationHtml());
    const TLines lines = TLineSplitter::Split(text);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    TMailOptions options;
    options.htmlText = state.range(0) != 0;
    for (auto _ : state) {
        const TMail mail(views, options);
        benchmark::DoNotOptimize(mail.BodyLines().size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HtmlOnlyMails)->Arg(0)->Arg(1)->Iterations(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
