#include "workbook/TWorkbookText.h"

#include <gtest/gtest.h>

TEST(TWorkbookTextTest, SheetNamesExcelAccepts) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"問い合わせ", "問い合わせ"},
        {"a[b]c:d*e?f/g\\h", "a_b_c_d_e_f_g_h"},
        {"'quoted'", "quoted"},
        {"", "Sheet1"},
        {"'''", "Sheet1"},
        // 31 characters, counted as characters, not bytes
        {std::string(40, 'x'), std::string(31, 'x')},
        {"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむ",
         "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほま"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TWorkbookText::SheetName(c.in), c.out) << c.in;
    }
}

TEST(TWorkbookTextTest, WidthOfTheWidestLineFullWidthCountingTwo) {
    const struct {
        std::string text;
        int bound, width;
    } cases[] = {
        {"abc", 60, 3},
        {"山田太郎", 60, 8},
        {"ｱｲｳ", 60, 3},  // half-width katakana
        {"ab\n山田太郎様\nc", 60, 10},
        {std::string(100, 'x'), 60, 60},
        {"", 60, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TWorkbookText::DisplayWidth(c.text, c.bound), c.width) << c.text;
    }
}

TEST(TWorkbookTextTest, CutsAfterCharactersNeverInsideOne) {
    std::string ascii(40000, 'a');
    EXPECT_TRUE(TWorkbookText::CutAfter(ascii, TWorkbookText::MaxCellChars));
    EXPECT_EQ(ascii.size(), TWorkbookText::MaxCellChars);

    std::string japanese;
    for (int i = 0; i < 20000; ++i) {
        japanese += "あ";
    }
    const std::string before = japanese;
    EXPECT_FALSE(TWorkbookText::CutAfter(japanese, TWorkbookText::MaxCellChars));  // 20,000 chars
    EXPECT_EQ(japanese, before);
    EXPECT_TRUE(TWorkbookText::CutAfter(japanese, 3));
    EXPECT_EQ(japanese, "あああ");
}

TEST(TWorkbookTextTest, EscapesRoundTrip) {
    const struct {
        std::string text, escaped;
    } cases[] = {
        {"plain", "plain"},
        {"_x0041_", "_x005F_x0041_"},
        {"a_x00zz_b", "a_x00zz_b"},
        {"_x_x000D__", "_x_x005F_x000D__"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        TWorkbookText::EscapeLiteralEscapes(text);
        EXPECT_EQ(text, c.escaped);
        TWorkbookText::Unescape(text);
        EXPECT_EQ(text, c.text);
    }
    std::string control = "a_x0001_b_x000D_";
    TWorkbookText::Unescape(control);
    EXPECT_EQ(control, std::string("a\x01") + "b\r");
}
