#include "codeconv/TCp932Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "TwoThreads.h"

namespace {

// Random texts made of the bytes that matter to the decoders: ASCII, lead
// bytes of every length, continuation and trail bytes, bytes no encoding uses.
std::string RandomText(std::mt19937& random) {
    static constexpr unsigned char kBytes[] = {
        'A',  ' ',  0x00, 0x0A, 0x7F, 0x80, 0x81, 0x8E, 0x8F, 0x9F, 0xA0, 0xA1, 0xA4,
        0xA9, 0xAD, 0xB0, 0xBF, 0xC0, 0xC1, 0xC2, 0xD0, 0xDF, 0xE0, 0xE3, 0xED, 0xEF,
        0xF0, 0xF3, 0xF4, 0xF5, 0xF8, 0xFC, 0xFD, 0xFE, 0xFF, 0x90, 0x9C, 0xBC, 0x81};
    std::uniform_int_distribution<std::size_t> length(1, 24);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kBytes - 1);
    std::uniform_int_distribution<int> any(0, 255);
    std::string text(length(random), '\0');
    for (char& c : text) {
        c = static_cast<char>(any(random) < 200 ? kBytes[pick(random)] : any(random));
    }
    return text;
}

struct TCase {
    const char* name;
    const char* encoding;
    bool (*convert)(std::string_view, std::string&, TIconv::SkipFn);
    TIconv::SkipFn skip;
};

bool FromUtf8(std::string_view text, std::string& out, TIconv::SkipFn) {
    return TCp932Tables::AppendFromUtf8(text, out);
}

class TCp932TablesTest : public testing::TestWithParam<TCase> {};

// The tables must give iconv's bytes for everything, broken text included.
TEST_P(TCp932TablesTest, SameBytesAsIconv) {
    const TCase& c = GetParam();
    TIconv iconv("CP932", c.encoding);
    std::mt19937 random(932);
    for (int i = 0; i < 100000; ++i) {
        const std::string text = RandomText(random);
        std::string expected, actual;
        iconv.Convert(text, expected, c.skip);
        ASSERT_TRUE(c.convert(text, actual, c.skip));
        ASSERT_EQ(actual, expected) << testing::PrintToString(text);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, TCp932TablesTest,
                         testing::Values(TCase{"Utf8", "UTF-8", &FromUtf8, &TIconv::SkipUtf8},
                                         TCase{"EucJp", "EUC-JP-MS", &TCp932Tables::AppendFromEucJp,
                                               &TIconv::SkipOne},
                                         TCase{"EucJpSkippingUtf8", "EUC-JP-MS",
                                               &TCp932Tables::AppendFromEucJp, &TIconv::SkipUtf8}),
                         [](const auto& info) { return std::string(info.param.name); });

// A run of kana and kanji that ends the text is read up to its last byte
// and no further (a memory checker sees a read past the block).
TEST(TCp932TablesUtf8, RunOfKanjiAtTheVeryEnd) {
    const std::string utf8 = "a\xE6\x97\xA5\xE6\x9C\xAC";  // "a日本"
    const auto exact = std::make_unique<char[]>(utf8.size());
    std::copy(utf8.begin(), utf8.end(), exact.get());
    std::string out;
    ASSERT_TRUE(TCp932Tables::AppendFromUtf8(std::string_view(exact.get(), utf8.size()), out));
    EXPECT_EQ(out, "a\x93\xFA\x96\x7B");
}

std::string Utf8Page(std::uint32_t page) {
    std::string text;
    for (std::uint32_t cp = page << 8; cp < (page + 1) << 8; ++cp) {
        if (cp < 0xD800 || cp > 0xDFFF) {
            text += static_cast<char>(cp < 0x80    ? cp
                                      : cp < 0x800 ? 0xC0 | cp >> 6
                                                   : 0xE0 | cp >> 12);
            if (cp >= 0x800) {
                text += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            }
            if (cp >= 0x80) {
                text += static_cast<char>(0x80 | (cp & 0x3F));
            }
        }
    }
    return text;
}

// Every character of the plane, read by two threads that meet on each page
// the first time it is needed (the pages are filled on first use).
TEST(TCp932TablesUtf8, EveryCharacterFromTwoThreads) {
    const auto compare = [](bool upwards, std::string& failure) {
        TIconv iconv("CP932", "UTF-8");
        for (std::uint32_t i = 0; i < 0x100 && failure.empty(); ++i) {
            const std::string text = Utf8Page(upwards ? i : 0xFF - i);
            std::string expected, actual;
            iconv.Convert(text, expected, &TIconv::SkipUtf8);
            TCp932Tables::AppendFromUtf8(text, actual);
            if (actual != expected) {
                failure = testing::PrintToString(text);
            }
        }
    };
    ExpectRightFromTwoThreads(compare);
}

// Every EUC-JP row (the pairs after one lead byte, the triples after 0x8F
// and one more byte) read by two threads that meet on each row the first
// time it is needed (the rows are filled on first use).
TEST(TCp932TablesEucJp, EveryRowFromTwoThreads) {
    std::vector<std::string> rows;
    for (int b0 = 0x80; b0 <= 0xFF; ++b0) {
        std::string row;
        for (int b1 = 0xA0; b1 <= 0xFF; ++b1) {
            if (b0 == 0x8F) {
                std::string triples;
                for (int b2 = 0xA0; b2 <= 0xFF; ++b2) {
                    triples += {'\x8F', static_cast<char>(b1), static_cast<char>(b2)};
                }
                rows.push_back(triples);
            }
            row += {static_cast<char>(b0), static_cast<char>(b1)};
        }
        rows.push_back(row + "end");
    }
    const auto compare = [&rows](bool upwards, std::string& failure) {
        TIconv iconv("CP932", "EUC-JP-MS");
        for (std::size_t i = 0; i < rows.size() && failure.empty(); ++i) {
            const std::string& text = rows[upwards ? i : rows.size() - 1 - i];
            std::string expected, actual;
            iconv.Convert(text, expected, &TIconv::SkipOne);
            TCp932Tables::AppendFromEucJp(text, actual, &TIconv::SkipOne);
            if (actual != expected) {
                failure = testing::PrintToString(text);
            }
        }
    };
    ExpectRightFromTwoThreads(compare);
}

}  // namespace
