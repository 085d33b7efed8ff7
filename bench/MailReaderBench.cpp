// Reading and decoding typical Japanese mails from an mbox store: an
// ISO-2022-JP form mail, a UTF-8 mail in Base64, and a mixed multipart mail
// whose text sits in a nested alternative, 10,000 mails held in memory.
//
// Setting KESTRIFY_BENCH_MBOX_MB=<n> adds a run over an mbox file of about n
// megabytes written to the temporary folder; it reports the peak resident
// memory of the process (run it on its own with --benchmark_filter=File).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "codeconv/TIconv.h"
#include "mail/TMBOXParser.h"

namespace {

constexpr int kMails = 10000;

std::string Base64(std::string_view bytes, std::size_t lineLength = 0) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
        if (lineLength && (out.size() + 1) % (lineLength + 1) == 0)
            out += '\n';
    }
    return out;
}

std::string Jis(std::string_view utf8) {
    std::string out;
    TIconv("ISO-2022-JP", "UTF-8").Convert(utf8, out, &TIconv::SkipUtf8);
    return out;
}

const char* const kBody[] = {
    "以下の内容でお問い合わせを受け付けました。",
    "担当者より折り返しご連絡いたします。",
    "",
    "受付番号：FORM-20240401-00123",
    "お名前：山田 太郎",
    "フリガナ：ヤマダ タロウ",
    "メールアドレス：taro.yamada@example.co.jp",
    "電話番号：03-1234-5678",
    "ご住所：東京都千代田区丸の内1-2-3 サンプルビル4階",
    "お問い合わせ種別：資料請求",
    "お問い合わせ内容：",
    "新製品のカタログを送付してください。",
    "導入時期は来年春を予定しています。",
    "",
    "--",
    "このメールは送信専用アドレスから自動送信されています。",
};

std::string BodyText(const char* lineBreak) {
    std::string text;
    for (const char* line : kBody) {
        text += line;
        text += lineBreak;
    }
    return text;
}

std::string CommonHeaders(int n) {
    const std::string id = std::to_string(n);
    return "From sender" + id +
           "@example.jp Mon Apr  1 10:00:00 2024\n"
           "Return-Path: <sender" +
           id +
           "@example.jp>\n"
           "Received: from mx.example.jp (mx.example.jp [192.0.2.1])\n"
           "\tby mail.example.com (Postfix) with ESMTP id 4V" +
           id +
           "\n"
           "\tfor <user@example.com>; Mon, 1 Apr 2024 10:00:00 +0900 (JST)\n"
           "Date: Mon, 1 Apr 2024 10:00:00 +0900\n"
           "To: user@example.com\n"
           "Message-ID: <" +
           id +
           ".form@example.jp>\n"
           "MIME-Version: 1.0\n";
}

std::string IsoJpMail(int n) {
    return CommonHeaders(n) + "From: =?ISO-2022-JP?B?" + Base64(Jis("山田 太郎")) +
           "?= <taro@example.jp>\n"
           "Subject: =?ISO-2022-JP?B?" +
           Base64(Jis("【お問い合わせ】資料請求")) +
           "?=\n"
           "Content-Type: text/plain; charset=ISO-2022-JP\n"
           "Content-Transfer-Encoding: 7bit\n\n" +
           Jis(BodyText("\n")) + "\n";
}

std::string Utf8Base64Mail(int n) {
    return CommonHeaders(n) + "From: =?UTF-8?B?" + Base64("山田 太郎") +
           "?= <taro@example.jp>\n"
           "Subject: =?UTF-8?B?" +
           Base64("【お問い合わせ】資料請求") +
           "?=\n"
           "Content-Type: text/plain; charset=UTF-8\n"
           "Content-Transfer-Encoding: base64\n\n" +
           Base64(BodyText("\r\n"), 76) + "\n\n";
}

std::string MultipartMail(int n) {
    std::string html = "<html><body>";
    for (const char* line : kBody) {
        html += std::string("<p>") + line + "</p>\n";
    }
    html += "</body></html>";
    return CommonHeaders(n) +
           "From: taro@example.jp\n"
           "Subject: =?UTF-8?B?" +
           Base64("添付資料の送付") +
           "?=\n"
           "Content-Type: multipart/mixed; boundary=\"mixed-" +
           std::to_string(n) +
           "\"\n\n"
           "This is a multi-part message in MIME format.\n"
           "--mixed-" +
           std::to_string(n) +
           "\n"
           "Content-Type: multipart/alternative;\n\tboundary=\"alt\"\n\n"
           "--alt\nContent-Type: text/plain; charset=ISO-2022-JP\n"
           "Content-Transfer-Encoding: 7bit\n\n" +
           Jis(BodyText("\n")) +
           "--alt\nContent-Type: text/html; charset=UTF-8\n"
           "Content-Transfer-Encoding: base64\n\n" +
           Base64(html, 76) +
           "\n"
           "--alt--\n\n"
           "--mixed-" +
           std::to_string(n) +
           "\n"
           "Content-Type: application/pdf; name=\"catalog.pdf\"\n"
           "Content-Transfer-Encoding: base64\n\n" +
           Base64(std::string(600, '\x42'), 76) +
           "\n"
           "--mixed-" +
           std::to_string(n) + "--\n\n";
}

// kind 0: the three kinds in turn; 1, 2, 3: one kind only.
const std::string& Mbox(int kind) {
    static std::string stores[4];
    std::string& store = stores[kind];
    if (store.empty()) {
        for (int n = 0; n < kMails; ++n) {
            switch (kind == 0 ? n % 3 + 1 : kind) {
                case 1:
                    store += IsoJpMail(n);
                    break;
                case 2:
                    store += Utf8Base64Mail(n);
                    break;
                default:
                    store += MultipartMail(n);
                    break;
            }
        }
    }
    return store;
}

void BM_ReadMails(benchmark::State& state) {
    const std::string& mbox = Mbox(static_cast<int>(state.range(0)));
    TMBOXParser parser(TMappedFile::FromBytes(mbox));
    const int count = parser.GetCount();
    std::size_t lines = 0;
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            lines += parser.GetMail(i)->GetBody().size();
        }
    }
    benchmark::DoNotOptimize(lines);
    state.SetItemsProcessed(state.iterations() * count);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(mbox.size()));
}
BENCHMARK(BM_ReadMails)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_IndexMbox(benchmark::State& state) {
    const std::string& mbox = Mbox(0);
    for (auto _ : state) {
        state.PauseTiming();
        auto file = TMappedFile::FromBytes(mbox);
        state.ResumeTiming();
        TMBOXParser parser(std::move(file));
        benchmark::DoNotOptimize(parser.GetCount());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(mbox.size()));
}
BENCHMARK(BM_IndexMbox)->Unit(benchmark::kMillisecond);

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_LargeMboxFile(benchmark::State& state, std::size_t megabytes) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kestrify-bench-large.mbox";
    std::size_t size = 0;
    {
        std::ofstream out(path, std::ios::binary);
        const std::string& mbox = Mbox(0);
        while (size < megabytes << 20) {
            out.write(mbox.data(), static_cast<std::streamsize>(mbox.size()));
            size += mbox.size();
        }
    }
    const double rssBefore = PeakRssMb();
    int count = 0;
    for (auto _ : state) {
        TMBOXParser parser(path.string());
        count = parser.GetCount();
        for (int i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(parser.GetMail(i));
        }
    }
    state.counters["mails"] = count;
    state.counters["file_MB"] = static_cast<double>(size) / (1 << 20);
    state.counters["peak_rss_MB"] = PeakRssMb();
    state.counters["rss_before_MB"] = rssBefore;
    state.SetItemsProcessed(state.iterations() * count);
    std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* mb = std::getenv("KESTRIFY_BENCH_MBOX_MB")) {
        benchmark::RegisterBenchmark("BM_LargeMboxFile", BM_LargeMboxFile, std::stoul(mb))
            ->Iterations(1)
            ->Unit(benchmark::kSecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
