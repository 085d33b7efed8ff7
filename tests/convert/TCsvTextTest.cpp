#include "convert/TCsvText.h"

#include <gtest/gtest.h>

#include "TestText.h"

namespace {

std::string Cell(const std::string& cell) {
    std::string out;
    TCsvText::AppendCell(out, cell);
    return out;
}

std::string Line(const std::vector<std::string>& row) {
    std::string out;
    TCsvText::AppendRow(out, row);
    return out;
}

struct CellCase {
    std::string cell;
    std::string written;
};

class CsvCell : public testing::TestWithParam<CellCase> {};

TEST_P(CsvCell, QuotesOnlyWhenNeeded) {
    EXPECT_EQ(Cell(GetParam().cell), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, CsvCell,
    testing::Values(CellCase{"plain", "plain"}, CellCase{"", ""}, CellCase{"a,b", "\"a,b\""},
                    CellCase{"a b", "\"a b\""}, CellCase{"a\tb", "\"a\tb\""},
                    CellCase{"say \"hi\"", "\"say \"\"hi\"\"\""}, CellCase{"\"", "\"\"\"\""},
                    CellCase{"a\r\nb", "\"a\nb\""}, CellCase{"a\rb", "ab"}, CellCase{"\r", ""},
                    CellCase{"\"\r\"x\r\n\"\"", "\"\"\"\"\"x\n\"\"\"\"\""},
                    CellCase{"\x01", "\"\x01\""},
                    CellCase{std::string("a\0b", 3), std::string("a\0b", 3)},
                    CellCase{"\x7f~", "\x7f~"},
                    // Japanese without special bytes stays bare, also characters whose
                    // second byte is a backslash, "@" or "|".
                    CellCase{Sj("表示ソフト能力＠｜"), Sj("表示ソフト能力＠｜")},
                    // A full-width space is no blank.
                    CellCase{Sj("山田　太郎"), Sj("山田　太郎")},
                    CellCase{Sj("山田 太郎"), "\"" + Sj("山田 太郎") + "\""},
                    // A lone first byte of a double-byte character cannot hide a quote.
                    CellCase{"\x82\"", "\"\x82\"\"\""}));

}  // namespace

TEST(CsvText, RowSkipsNumberColumn) {
    EXPECT_EQ(Line({"1", "a", "b c", ""}), "a,\"b c\",\r\n");
    EXPECT_EQ(Line({"", "a", "b", ""}), "a,b,\r\n");
}

TEST(CsvText, LoneEmptyCellIsPairOfQuotes) {
    EXPECT_EQ(Line({"7", ""}), "\"\"\r\n");
    EXPECT_EQ(Line({"7", "x"}), "x\r\n");
    EXPECT_EQ(Line({"7", "", ""}), ",\r\n");
    EXPECT_EQ(Line({"7"}), "\r\n");
}

TEST(CsvText, SafeCellsDisarmFormulasOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"=1+2", "'=1+2"},
        {"+81 3", "\"'+81 3\""},
        {"-", "'-"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "\"'\tx\""},
        {"\r=x", "'=x"},
        {"a=b", "a=b"},
        {"", ""},
        {Sj("＝式"), Sj("＝式")},
    };
    for (const auto& [cell, written] : cases) {
        std::string out;
        TCsvText::AppendCell(out, cell, true);
        EXPECT_EQ(out, written) << cell;
    }
    std::string plain;
    TCsvText::AppendCell(plain, "=1+2");
    EXPECT_EQ(plain, "=1+2");
}
