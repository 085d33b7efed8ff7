// Body conversion speed: a 4 KB mail body in ISO-2022-JP and in UTF-8 to
// Shift_JIS, plus the built-in Base64 and quoted-printable decoders.

#include <benchmark/benchmark.h>

#include <string>

#include "codeconv/TCharCodeConv.h"
#include "codeconv/TCodePageConv.h"
#include "codeconv/TSjisUnicode.h"

namespace {

// One line of an ordinary Japanese business mail, repeated to 4 KB.
const char kLine[] =
    "お世話になっております。会議は10:00～12:00、会場は①号室です。Best regards.\r\n";

std::string Utf8Body() {
    std::string body;
    while (body.size() < 4096) {
        body += kLine;
    }
    return body;
}

// The same text as Windows writes it in ISO-2022-JP.
std::string JisBody() {
    const std::string sjis = TSjisUnicode::FromUtf8(Utf8Body());
    std::string jis;
    bool kanji = false;
    for (std::size_t i = 0; i < sjis.size();) {
        const auto c = static_cast<unsigned char>(sjis[i]);
        if (c < 0x80) {
            if (kanji) {
                jis += "\x1B(B";
                kanji = false;
            }
            jis += static_cast<char>(c);
            ++i;
            continue;
        }
        if (!kanji) {
            jis += "\x1B$B";
            kanji = true;
        }
        const auto c2 = static_cast<unsigned char>(sjis[i + 1]);
        const int row = (c <= 0x9F ? c - 0x81 : c - 0xC1) * 2 + 0x21;
        if (c2 >= 0x9F) {
            jis += static_cast<char>(row + 1);
            jis += static_cast<char>(c2 - 0x7E);
        } else {
            jis += static_cast<char>(row);
            jis += static_cast<char>(c2 - (c2 < 0x80 ? 0x1F : 0x20));
        }
        i += 2;
    }
    return jis;
}

void Run(benchmark::State& state, const std::string& body, int codePage) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(TCodePageConv::ToSjis(body, codePage));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
}

void BM_Iso2022JpBody(benchmark::State& state) {
    Run(state, JisBody(), 50222);
}
void BM_Utf8Body(benchmark::State& state) {
    Run(state, Utf8Body(), 65001);
}
void BM_EucJpBody(benchmark::State& state) {
    // EUC-JP: the JIS pairs with the high bit set, escapes dropped.
    std::string euc;
    const std::string jis = JisBody();
    bool kanji = false;
    for (std::size_t i = 0; i < jis.size();) {
        if (jis.compare(i, 3, "\x1B$B") == 0 || jis.compare(i, 3, "\x1B(B") == 0) {
            kanji = jis[i + 1] == '$';
            i += 3;
            continue;
        }
        euc += kanji ? static_cast<char>(jis[i] | 0x80) : jis[i];
        ++i;
    }
    Run(state, euc, 51932);
}
void BM_AsciiBody(benchmark::State& state) {
    Run(state, std::string(4096, 'a'), 50222);
}

void BM_B64Decode(benchmark::State& state) {
    std::string b64;
    while (b64.size() < 4096) {
        b64 += "44GK5LiW6Kmx44Gr44Gq44Gj44Gm44GK44KK44G+44GZ44CC";
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(TCharCodeConv::B64Decode(b64));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b64.size()));
}

void BM_QPDecode(benchmark::State& state) {
    std::string qp;
    while (qp.size() < 4096) {
        qp += "Die Hasen klagten einst =C3=BCber ihre mi=C3=9Fliche Lage; wir =\r\n";
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(TCharCodeConv::QPDecode(qp));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * qp.size()));
}

}  // namespace

BENCHMARK(BM_Iso2022JpBody);
BENCHMARK(BM_Utf8Body);
BENCHMARK(BM_EucJpBody);
BENCHMARK(BM_AsciiBody);
BENCHMARK(BM_B64Decode);
BENCHMARK(BM_QPDecode);
BENCHMARK_MAIN();
