#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <map>
#include <sstream>

#include "TempDir.h"
#include "WorkbookCells.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "workbook/TWorkbookReader.h"
#include "workbook/TWorkbookText.h"
#include "workbook/TWorkbookWriter.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

void Save(TWorkbookWriter& book, const std::filesystem::path& path) {
    book.Finish();
    std::string bytes;
    ASSERT_TRUE(book.CopyTo([&](std::string_view block) {
        bytes.append(block);
        return true;
    }));
    TTempDir::Write(path, bytes);
}

TRows WriteAndCheck(const TRows& rows, const std::filesystem::path& path) {
    TWorkbookWriter book("問い合わせ");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::vector<std::string> cells = rows[r];
        book.AddRow(cells, r == 0);
    }
    Save(book, path);
    return TWorkbookCells::Read(path).rows;
}

TRows ReadBack(const std::filesystem::path& path,
               const TWorkbookReader::TLimits& limits = TWorkbookReader::TLimits()) {
    TRows rows;
    const int fd = ::open(path.c_str(), O_RDONLY);
    try {
        TWorkbookReader::ReadFirstSheet(
            fd, [&](std::vector<std::string>& cells) { rows.push_back(cells); }, {}, limits);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return rows;
}

// What the reader says when it refuses, as UTF-8; empty when it reads.
std::string Refusal(const std::filesystem::path& path,
                    const TWorkbookReader::TLimits& limits = TWorkbookReader::TLimits()) {
    try {
        ReadBack(path, limits);
        return "";
    } catch (const TKestrifyError& e) {
        return TSjisUnicode::ToUtf8(e.what());
    }
}

void Zip(const std::filesystem::path& path, const std::map<std::string, std::string>& parts) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto& [name, text] : parts) {
        zip_source_t* source = zip_source_buffer(zip, text.data(), text.size(), 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

// A workbook as another program writes it: the given sheet and styles.
std::map<std::string, std::string> Foreign(const std::string& sheetData,
                                           const std::string& more = "",
                                           const std::string& numFmt = "0", int sheets = 1,
                                           const std::string& moreShared = "") {
    std::string sheetList;
    for (int i = 1; i <= sheets; ++i) {
        sheetList += "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + std::to_string(i) +
                     "\" r:id=\"rId" + std::to_string(i) + "\"/>";
    }
    const std::string ns =
        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
        "relationships\"";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return {
        {"xl/workbook.xml", "<workbook " + ns + "><sheets>" + sheetList + "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" +
             rel +
             "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
             "<Relationship Id=\"rId2\" Type=\"" +
             rel +
             "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
             "<Relationship Id=\"rId8\" Type=\"" +
             rel +
             "sharedStrings\" Target=\"sharedStrings.xml\"/>"
             "<Relationship Id=\"rId9\" Type=\"" +
             rel +
             "styles\" Target=\"/xl/styles.xml\"/>"
             "</Relationships>"},
        {"xl/sharedStrings.xml",
         "<sst " + ns +
             "><si><t>名前</t></si><si><r><t>山田</t></r><r><t xml:space=\"preserve\"> 太郎</t></r>"
             "<rPh sb=\"0\" eb=\"2\"><t>ヤマダ</t></rPh></si>" +
             moreShared + "</sst>"},
        {"xl/styles.xml", "<styleSheet " + ns +
                              "><cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"" + numFmt +
                              "\"/></cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml", "<worksheet " + ns + "><dimension ref=\"A1:C3\"/><sheetData>" +
                                         sheetData + "</sheetData>" + more + "</worksheet>"},
    };
}

}  // namespace

TEST(TWorkbookRoundTripTest, CellsComeBackAsWrittenAllText) {
    TTempDir dir;
    const TRows rows = {
        {"名前", "電話", "本文"},     {"山田 太郎", "09012345678", "一行目\n二行目\n三行目"},
        {"", "0120-000-111", "=1+2"}, {"123456789012345678", "2024/01/02", "_x0041_ と \t タブ"},
        {"制御\x01文字", "", ""},
    };
    const std::filesystem::path path = dir.Path() / "a.xlsx";
    const TRows seen = WriteAndCheck(rows, path);
    ASSERT_EQ(seen.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            EXPECT_EQ(c < seen[r].size() ? seen[r][c] : "", rows[r][c]) << r << "," << c;
        }
    }
    const TWorkbookCells cells = TWorkbookCells::Read(path);
    EXPECT_EQ(cells.sheetName, "問い合わせ");
    for (const std::string& type : cells.types) {
        EXPECT_EQ(type, "inlineStr");  // no number, date or formula
    }
    EXPECT_NE(cells.sheetXml.find("state=\"frozen\""), std::string::npos);
    EXPECT_NE(cells.sheetXml.find("ySplit=\"1\""), std::string::npos);
    EXPECT_NE(cells.stylesXml.find("<b/>"), std::string::npos);
    EXPECT_NE(cells.stylesXml.find("wrapText=\"1\""), std::string::npos);
    EXPECT_NE(cells.stylesXml.find("numFmtId=\"49\""), std::string::npos);  // "@"
    EXPECT_NE(cells.sheetXml.find("<col min=\"3\" max=\"3\""), std::string::npos);

    // The program's own reader gives every cell back, escapes decoded.
    TRows back = ReadBack(path);
    ASSERT_EQ(back.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        back[r].resize(rows[r].size());
        EXPECT_EQ(back[r], rows[r]);
    }
}

TEST(TWorkbookRoundTripTest, LongCellsAreCutAndNamed) {
    TTempDir dir;
    TWorkbookWriter book("x");
    std::vector<std::string> title = {"a", "b"};
    book.AddRow(title, true);
    std::string longText;
    for (int i = 0; i < 40000; ++i) {
        longText += "あ";
    }
    std::vector<std::string> row = {"short", longText};
    std::vector<std::size_t> cut;
    book.AddRow(row, false, [&](std::size_t column) { cut.push_back(column); });
    EXPECT_EQ(cut, std::vector<std::size_t>{1});
    Save(book, dir.Path() / "long.xlsx");
    const TRows back = ReadBack(dir.Path() / "long.xlsx");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(TWorkbookText::Length(back[1][1]), TWorkbookText::MaxCellChars);
}

TEST(TWorkbookRoundTripTest, RowsBeyondExcelsLimitThrowBeforeTheWorkbookIsMade) {
    TWorkbookWriter book("x");
    std::vector<std::string> empty(1);
    for (long long r = 0; r < TWorkbookText::MaxRows; ++r) {
        book.AddRow(empty, r == 0);
    }
    EXPECT_THROW(book.AddRow(empty, false), TKestrifyError);
}

TEST(TWorkbookRoundTripTest, ForeignPlainSheetsAreReadOthersRefused) {
    const std::string plain =
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" "
        "t=\"inlineStr\"><is><t>備考</t></is></c></row>"
        "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>1</v></c><c r=\"B3\"><v>42.5</v></c>"
        "<c r=\"C3\" t=\"b\" s=\"1\"><v>1</v></c></row>";
    const struct {
        const char* name;
        std::map<std::string, std::string> parts;
        const char* refusal;  // a piece of the message, or "" when read
    } cases[] = {
        {"plain", Foreign(plain), ""},
        {"text format", Foreign(plain, "", "49"), ""},
        {"formula", Foreign("<row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v></c></row>"), "数式"},
        {"merged",
         Foreign(plain, "<mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells>"),
         "mergeCells"},
        {"drawing", Foreign(plain, "<drawing r:id=\"rId1\"/>"), "drawing"},
        {"date", Foreign("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45000</v></c></row>", "", "14"),
         "日付"},
        {"two sheets", Foreign(plain, "", "0", 2), "2 枚"},
        {"damaged sheet", Foreign("<row r=\"1\"><c r=\"A1\"><v>1</row>"), "壊れて"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        const std::filesystem::path path = dir.Path() / "f.xlsx";
        Zip(path, c.parts);
        const std::string refusal = Refusal(path);
        if (*c.refusal == '\0') {
            EXPECT_EQ(refusal, "") << c.name;
        } else {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.name << ": " << refusal;
        }
    }
    Zip(dir.Path() / "f.xlsx", Foreign(plain));
    const TRows expected = {{"名前", "", "備考"}, {}, {"山田 太郎", "42.5", "TRUE"}};
    EXPECT_EQ(ReadBack(dir.Path() / "f.xlsx"), expected);

    TTempDir::Write(dir.Path() / "csv.xlsx", "a,b\r\n1,2\r\n");
    EXPECT_NE(Refusal(dir.Path() / "csv.xlsx").find("Excel ブックではありません"),
              std::string::npos);
}

TEST(TWorkbookRoundTripTest, WorkbooksBeyondWhatIsReadBackAreRefusedNamingTheCellAndLimit) {
    const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    const std::string over(TWorkbookText::MaxCellChars + 1, 'a');
    const std::string huge(10'000'001, 'b');  // beyond libxml2's own text node limit
    const auto inlineCell = [](const std::string& ref, const std::string& text) {
        return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
    };
    const std::string threeCells = "<row r=\"1\">" + inlineCell("A1", "abc") +
                                   inlineCell("B1", "def") + "</row>" + "<row r=\"2\">" +
                                   inlineCell("A2", "ghi") + "</row>";
    TWorkbookReader::TLimits small;
    small.cells = 2;
    TWorkbookReader::TLimits fewBytes;
    fewBytes.textBytes = 8;
    TWorkbookReader::TLimits smallParts;
    smallParts.partBytes = 1000;
    TWorkbookReader::TLimits smallShared;
    smallShared.sharedBytes = 64;
    const std::string wideRow = [&] {
        // 16,384 cells of 4,100 characters: 67 MB, beyond a row's 64 MiB.
        std::string row = "<row r=\"1\">";
        for (int c = 0; c < 16384; ++c) {
            row += "<c t=\"s\"><v>2</v></c>";
        }
        return row + "</row>";
    }();
    const struct {
        const char* name;
        std::map<std::string, std::string> parts;
        TWorkbookReader::TLimits limits;
        const char* refusal;  // pieces of the message, apart by "|"; "" when read
    } cases[] = {
        {"a cell of 32,767 characters",
         Foreign("<row r=\"1\">" + inlineCell("A1", std::string(TWorkbookText::MaxCellChars, 'a')) +
                 "</row>"),
         {},
         ""},
        {"an inline cell beyond 32,767",
         Foreign("<row r=\"1\"/><row r=\"2\">" + inlineCell("C2", over) + "</row>"),
         {},
         "セル C2|32,767 文字"},
        {"a 10 MB inline cell",
         Foreign("<row r=\"1\">" + inlineCell("B1", huge) + "</row>"),
         {},
         "セル B1|32,767 文字"},
        {"a long shared string used",
         Foreign("<row r=\"4\"><c r=\"D4\" t=\"s\"><v>2</v></c></row>", "", "0", 1,
                 "<si><t>" + over + "</t></si>"),
         {},
         "セル D4|32,767 文字"},
        {"a long shared string unused",
         Foreign("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", "", "0", 1,
                 "<si><t>" + over + "</t></si>"),
         {},
         ""},
        {"a 10 MB shared string",
         Foreign("<row r=\"1\"/>", "", "0", 1, "<si><t>" + huge + "</t></si>"),
         {},
         "共有文字列 3|32,767 文字"},
        {"a row beyond 64 MiB",
         Foreign(wideRow, "", "0", 1, "<si><t>" + std::string(4100, 'c') + "</t></si>"),
         {},
         "1 行の文字列が 64 MiB"},
        {"a column beyond Excel's",
         Foreign("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"),
         {},
         "XFE1|16,384 列"},
        {"a row beyond Excel's",
         Foreign("<row r=\"1048577\"><c><v>1</v></c></row>"),
         {},
         "1,048,576 行"},
        {"more cells than allowed", Foreign(threeCells), small, "2 個を超えます (セル A2)"},
        {"more text than allowed", Foreign(threeCells), fewBytes, "8 B を超えます (セル A2)"},
        {"a part larger than allowed", Foreign(threeCells + std::string(2000, ' ')), smallParts,
         "xl/worksheets/sheet1.xml が展開すると 1,000 B"},
        {"shared strings beyond what is held",
         Foreign(threeCells, "", "0", 1, "<si><t>" + std::string(100, 'd') + "</t></si>"),
         smallShared, "共有文字列が 64 B"},
        {"a document type with entities",
         [&] {
             auto parts = Foreign("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
             parts["xl/sharedStrings.xml"] =
                 "<!DOCTYPE sst [<!ENTITY n \"山田\">]><sst " + ns + "><si><t>&n;</t></si></sst>";
             return parts;
         }(),
         {},
         "xl/sharedStrings.xml|DTD"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        const std::filesystem::path path = dir.Path() / "f.xlsx";
        Zip(path, c.parts);
        const std::string refusal = Refusal(path, c.limits);
        if (*c.refusal == '\0') {
            EXPECT_EQ(refusal, "") << c.name;
            continue;
        }
        std::stringstream pieces(c.refusal);
        for (std::string piece; std::getline(pieces, piece, '|');) {
            EXPECT_NE(refusal.find(piece), std::string::npos) << c.name << ": " << refusal;
        }
        EXPECT_EQ(refusal.find("huge"), std::string::npos) << c.name << ": " << refusal;
    }
}

TEST(TWorkbookRoundTripTest, TheWriterTakesNoRowBeyondExcelsColumnsOrTheRowLimit) {
    TWorkbookWriter book("x");
    std::vector<std::string> wide(TWorkbookText::MaxColumns + 1, "a");
    EXPECT_THROW(book.AddRow(wide, false), TKestrifyError);
    std::vector<std::string> heavy(2100, std::string(TWorkbookText::MaxCellChars, 'a'));
    EXPECT_THROW(book.AddRow(heavy, false), TKestrifyError);
    std::vector<std::string> fine(2, "a");
    book.AddRow(fine, false);
    EXPECT_EQ(book.RowCount(), 1);
}
