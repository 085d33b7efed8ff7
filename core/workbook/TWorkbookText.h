#pragma once
// What Excel allows in a workbook and the measures of its text (UTF-8).

#include <cstddef>
#include <string>
#include <string_view>

class TWorkbookText {
  public:
    // Rows of one sheet, the title row included.
    static constexpr long long MaxRows = 1048576;
    // Characters of one cell (UTF-16 units; Shift_JIS text has no
    // character outside the basic plane, so code points here).
    static constexpr std::size_t MaxCellChars = 32767;
    // Columns of one sheet.
    static constexpr std::size_t MaxColumns = 16384;
    // Bytes of text in one row. Excel would allow far more (every column
    // full), but no row this program writes comes near it (256 columns of
    // 32,767 characters are under 25 MB), and a row is held whole in memory.
    static constexpr std::size_t MaxRowBytes = std::size_t{64} << 20;

    // Characters (code points) of UTF-8 text.
    static std::size_t Length(std::string_view utf8);
    // Cuts `utf8` after `chars` characters; true when it was cut.
    static bool CutAfter(std::string& utf8, std::size_t chars);
    // The width of the widest line in half-width columns (full-width
    // characters count two), counted no further than `bound`.
    static int DisplayWidth(std::string_view utf8, int bound);
    // A sheet name Excel accepts: the characters []:*?/\ become "_", no
    // apostrophe at either end, at most 31 characters, never empty.
    static std::string SheetName(std::string_view utf8);
    // Text that reads "_xHHHH_" is how a workbook escapes a control
    // character: its "_" is escaped in turn so it reads back as written.
    static void EscapeLiteralEscapes(std::string& utf8);
    // Decodes the "_xHHHH_" escapes of a workbook's text.
    static void Unescape(std::string& utf8);
};
