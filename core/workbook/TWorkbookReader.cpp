#include "workbook/TWorkbookReader.h"

#include <libxml/xmlreader.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "workbook/TWorkbookText.h"

namespace {

// Raw bytes of one cell's text before its "_xHHHH_" escapes are decoded
// (seven bytes each at most): beyond this it cannot fit Excel's limit.
constexpr std::size_t kMaxRawCellBytes = 8 * TWorkbookText::MaxCellChars;
// A stop is looked for each time this much more of a part was unpacked.
constexpr std::uint64_t kPollBytes = std::uint64_t{1} << 20;

constexpr std::string_view kRelationshipNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

[[noreturn]] void Refuse(const std::string& utf8Reason) {
    throw TKestrifyError(TSjisUnicode::FromUtf8(
        "追記先の Excel ブックに追記できません。既存の行を失わないため、保存しません。\n" +
        utf8Reason));
}

[[noreturn]] void Damaged(const std::string& part) {
    Refuse("ブックが壊れているか、Excel ブックではありません (" + part + ")。");
}

// A limit of the list in the README and the manual page.
[[noreturn]] void BeyondLimit(const std::string& what) {
    Refuse(what + "\n追記できるブックの上限を超えています。新しい出力先に保存してください。");
}

std::string Thousands(unsigned long long value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

std::string Bytes(std::uint64_t bytes) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    if (bytes % (kMiB << 10) == 0) {
        return Thousands(bytes >> 30) + " GiB";
    }
    if (bytes % kMiB == 0) {
        return Thousands(bytes >> 20) + " MiB";
    }
    return Thousands(bytes) + " B";
}

// What every part of one reading shares.
struct TReading {
    const TWorkbookReader::TPoll& poll;
    const TWorkbookReader::TLimits& limits;
};

// "B12" for the cell of 0-based `column` in 1-based `row`.
std::string CellName(std::size_t column, long long row) {
    std::string letters;
    for (std::size_t c = column + 1; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters + std::to_string(row);
}

std::string TooLongCell(const std::string& where) {
    return where + " の文字列が Excel のセルの上限 (" + Thousands(TWorkbookText::MaxCellChars) +
           " 文字) を超えています。";
}

struct TZipCloser {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
using TZip = std::unique_ptr<zip_t, TZipCloser>;

struct TReaderFree {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

// One XML part of the zip, read as a stream. libxml2's messages go nowhere:
// a damaged part is told in the program's own words.
class TPart {
  public:
    TPart(zip_t* zip, const std::string& name, const TReading& reading)
        : name_(name), reading_(reading) {
        file_ = zip_fopen(zip, name.c_str(), 0);
        if (file_ == nullptr) {
            return;
        }
        reader_.reset(xmlReaderForIO(&TPart::Read, &TPart::Close, this, nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
        if (!reader_) {
            zip_fclose(file_);
            file_ = nullptr;
            return;
        }
        xmlTextReaderSetStructuredErrorHandler(reader_.get(), &TPart::OnError, this);
    }
    ~TPart() {
        reader_.reset();  // closes the zip file through Close
        if (file_ != nullptr) {
            zip_fclose(file_);
        }
    }
    TPart(const TPart&) = delete;
    TPart& operator=(const TPart&) = delete;

    bool Exists() const { return reader_ != nullptr; }
    // What is being read, for a cell too long for libxml2 ("セル B2").
    void SetPlace(std::string place) { place_ = std::move(place); }

    // Moves to the next node; false at the end. A damaged part throws.
    bool Next() {
        const int result = xmlTextReaderRead(reader_.get());
        if (bytes_ >= nextPoll_) {
            nextPoll_ = bytes_ + kPollBytes;
            if (reading_.poll) {
                reading_.poll();
            }
        }
        if (result < 0) {
            Failed();
        }
        if (result == 1 && (Type() == XML_READER_TYPE_DOCUMENT_TYPE ||
                            Type() == XML_READER_TYPE_ENTITY_REFERENCE)) {
            // A workbook never has one; its entities would not be read.
            Refuse(
                "ブックの " + name_ +
                " に文書型定義 (DTD) があります。Excel のブックではないか、改変されたブックです。");
        }
        return result == 1;
    }
    int Type() const { return xmlTextReaderNodeType(reader_.get()); }
    bool IsStart() const { return Type() == XML_READER_TYPE_ELEMENT; }
    bool IsEmpty() const { return xmlTextReaderIsEmptyElement(reader_.get()) == 1; }
    bool IsEnd() const { return Type() == XML_READER_TYPE_END_ELEMENT; }
    bool IsText() const {
        const int type = Type();
        return type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
               type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
    }
    int Depth() const { return xmlTextReaderDepth(reader_.get()); }
    std::string_view Name() const { return Text(xmlTextReaderConstLocalName(reader_.get())); }
    std::string_view Value() const { return Text(xmlTextReaderConstValue(reader_.get())); }
    std::optional<std::string> Attribute(const char* name, const char* ns = nullptr) const {
        xmlChar* value =
            ns == nullptr
                ? xmlTextReaderGetAttribute(reader_.get(), reinterpret_cast<const xmlChar*>(name))
                : xmlTextReaderGetAttributeNs(reader_.get(), reinterpret_cast<const xmlChar*>(name),
                                              reinterpret_cast<const xmlChar*>(ns));
        if (value == nullptr) {
            return std::nullopt;
        }
        std::string text(reinterpret_cast<const char*>(value));
        xmlFree(value);
        return text;
    }
    // The text inside the element at hand (its text nodes, not those of
    // phonetic guides); leaves the reader on its end. nullopt when it is
    // longer than a cell can be.
    std::optional<std::string> InnerText() {
        std::string text;
        if (IsEmpty()) {
            return text;
        }
        const int depth = Depth();
        int skipDepth = -1;
        bool tooLong = false;
        while (Next() && !(IsEnd() && Depth() == depth)) {
            if (IsStart() && skipDepth < 0 && Name() == "rPh") {
                skipDepth = IsEmpty() ? -1 : Depth();
            } else if (IsEnd() && Depth() == skipDepth) {
                skipDepth = -1;
            } else if (IsText() && skipDepth < 0 && !tooLong) {
                text += Value();
                tooLong = text.size() > kMaxRawCellBytes;
            }
        }
        if (!tooLong) {
            TWorkbookText::Unescape(text);
            tooLong = TWorkbookText::Length(text) > TWorkbookText::MaxCellChars;
        }
        if (tooLong) {
            return std::nullopt;
        }
        return text;
    }

  private:
    static std::string_view Text(const xmlChar* text) {
        return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
    }
    static int Read(void* context, char* buffer, int length) {
        auto* part = static_cast<TPart*>(context);
        const zip_int64_t n = zip_fread(part->file_, buffer, static_cast<zip_uint64_t>(length));
        if (n > 0) {
            part->bytes_ += static_cast<zip_uint64_t>(n);
            if (part->bytes_ > part->reading_.limits.partBytes) {
                return -1;  // told by Failed()
            }
        }
        return n < 0 ? -1 : static_cast<int>(n);
    }
    static int Close(void*) { return 0; }
    static void OnError(void* context, xmlErrorPtr error) {
        auto* part = static_cast<TPart*>(context);
        if (error != nullptr && error->level >= XML_ERR_ERROR && part->error_.empty()) {
            part->error_ = error->message != nullptr ? error->message : "";
            part->errorLine_ = error->line;
        }
    }

    [[noreturn]] void Failed() const {
        if (bytes_ > reading_.limits.partBytes) {
            BeyondLimit("ブックの " + name_ + " が展開すると " + Bytes(reading_.limits.partBytes) +
                        " を超えます。");
        }
        // libxml2 refuses a text node beyond 10 MB ("huge text node"): a
        // cell that long is beyond Excel's limit as well.
        if (error_.find("huge text") != std::string::npos && !place_.empty()) {
            BeyondLimit(TooLongCell(place_));
        }
        Damaged(errorLine_ > 0 ? name_ + " の " + std::to_string(errorLine_) + " 行目" : name_);
    }

    std::string name_;
    const TReading& reading_;
    zip_file_t* file_ = nullptr;
    std::unique_ptr<xmlTextReader, TReaderFree> reader_;
    std::uint64_t bytes_ = 0;  // unpacked so far
    std::uint64_t nextPoll_ = kPollBytes;
    std::string place_;
    std::string error_;  // libxml2's first error
    int errorLine_ = 0;
};

// "xl/worksheets/sheet1.xml" from a relationship target seen from "xl/".
std::string PartName(const std::string& target) {
    std::string name = target.starts_with('/') ? target.substr(1) : "xl/" + target;
    while (true) {  // "xl/../x" as some writers put it
        const std::size_t up = name.find("/../");
        if (up == std::string::npos) {
            return name;
        }
        const std::size_t start = name.rfind('/', up == 0 ? 0 : up - 1);
        name.erase(start == std::string::npos ? 0 : start + 1,
                   up + 4 - (start == std::string::npos ? 0 : start + 1));
    }
}

struct TWorkbookParts {
    std::string sheet;
    std::string sharedStrings;
    std::string styles;
};

TWorkbookParts FindParts(zip_t* zip, const TReading& reading) {
    if (zip_name_locate(zip, "xl/vbaProject.bin", 0) >= 0) {
        Refuse("マクロを含むブックです。");
    }
    std::string firstId;
    int sheets = 0;
    {
        TPart workbook(zip, "xl/workbook.xml", reading);
        if (!workbook.Exists()) {
            Damaged("xl/workbook.xml");
        }
        while (workbook.Next()) {
            if (workbook.IsStart() && workbook.Name() == "sheet") {
                if (++sheets == 1) {
                    firstId = workbook.Attribute("id", kRelationshipNs.data()).value_or("");
                }
            }
        }
    }
    if (sheets != 1) {
        Refuse(sheets == 0 ? "シートがありません。" : "シートが 2 枚以上あります。");
    }
    TWorkbookParts parts;
    TPart relations(zip, "xl/_rels/workbook.xml.rels", reading);
    if (!relations.Exists()) {
        Damaged("xl/_rels/workbook.xml.rels");
    }
    while (relations.Next()) {
        if (!relations.IsStart() || relations.Name() != "Relationship") {
            continue;
        }
        const std::string type = relations.Attribute("Type").value_or("");
        const std::string target = relations.Attribute("Target").value_or("");
        if (relations.Attribute("Id") == firstId) {
            if (!type.ends_with("/worksheet")) {
                Refuse("最初のシートがワークシートではありません。");
            }
            parts.sheet = PartName(target);
        } else if (type.ends_with("/sharedStrings")) {
            parts.sharedStrings = PartName(target);
        } else if (type.ends_with("/styles")) {
            parts.styles = PartName(target);
        } else if (type.ends_with("/externalLink") || type.ends_with("/pivotCacheDefinition") ||
                   type.ends_with("/connections")) {
            Refuse("外部リンクやピボットテーブルを含むブックです。");
        }
    }
    if (parts.sheet.empty()) {
        Damaged("xl/_rels/workbook.xml.rels");
    }
    return parts;
}

// The shared strings; one longer than a cell can be is kept as a mark, and
// refused when a cell uses it.
struct TSharedStrings {
    std::vector<std::string> texts;
    std::vector<bool> tooLong;
};

TSharedStrings ReadSharedStrings(zip_t* zip, const std::string& name, const TReading& reading) {
    TSharedStrings strings;
    if (name.empty()) {
        return strings;
    }
    TPart part(zip, name, reading);
    if (!part.Exists()) {
        Damaged(name);
    }
    std::uint64_t bytes = 0;
    while (part.Next()) {
        if (part.IsStart() && part.Name() == "si") {
            part.SetPlace("共有文字列 " + Thousands(strings.texts.size() + 1));
            std::optional<std::string> text = part.InnerText();
            strings.tooLong.push_back(!text);
            strings.texts.push_back(std::move(text).value_or(""));
            bytes += strings.texts.back().size() + sizeof(std::string);
            if (bytes > reading.limits.sharedBytes) {
                BeyondLimit("共有文字列が " + Bytes(reading.limits.sharedBytes) + " を超えます。");
            }
        }
    }
    return strings;
}

// Per cell style: whether a number in it shows as written (the general or
// the text format).
std::vector<bool> ReadPlainNumberStyles(zip_t* zip, const std::string& name,
                                        const TReading& reading) {
    std::vector<bool> plain;
    if (name.empty()) {
        return plain;
    }
    TPart part(zip, name, reading);
    if (!part.Exists()) {
        Damaged(name);
    }
    bool inCellXfs = false;
    std::vector<std::string> plainFormats = {"0", "49"};  // General and "@"
    while (part.Next()) {
        if (part.IsStart() && part.Name() == "numFmt") {
            const std::string code = part.Attribute("formatCode").value_or("");
            if (code == "@" || code == "General") {
                plainFormats.push_back(part.Attribute("numFmtId").value_or("0"));
            }
        } else if (part.Name() == "cellXfs" && (part.IsStart() || part.IsEnd())) {
            inCellXfs = part.IsStart() && !part.IsEmpty();
        } else if (inCellXfs && part.IsStart() && part.Name() == "xf") {
            const std::string format = part.Attribute("numFmtId").value_or("0");
            plain.push_back(std::find(plainFormats.begin(), plainFormats.end(), format) !=
                            plainFormats.end());
            if (plain.size() > 65536) {
                Damaged(name);
            }
        }
    }
    return plain;
}

// "BC12" -> 54 (0-based column; a column beyond Excel's last counts as
// MaxColumns); nullopt when it is no cell reference.
std::optional<std::size_t> ColumnOf(std::string_view reference) {
    std::size_t column = 0;
    std::size_t letters = 0;
    for (; letters < reference.size() && reference[letters] >= 'A' && reference[letters] <= 'Z';
         ++letters) {
        column = std::min(column * 26 + static_cast<std::size_t>(reference[letters] - 'A' + 1),
                          TWorkbookText::MaxColumns + 1);
    }
    if (letters == 0) {
        return std::nullopt;
    }
    return column - 1;
}

std::optional<long long> NumberOf(const std::optional<std::string>& text) {
    if (!text || text->empty() || text->size() > 9) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// Elements of a worksheet that a sheet of values may hold: views, widths,
// page setup. Anything else (merged cells, conditional formats, drawings,
// links, comments, tables, ...) would be lost by rewriting.
bool IsPlainSheetElement(std::string_view name) {
    static constexpr std::array<std::string_view, 16> kPlain = {
        "worksheet",     "sheetPr",     "dimension",     "sheetViews",
        "sheetFormatPr", "cols",        "sheetData",     "sheetProtection",
        "printOptions",  "pageMargins", "pageSetup",     "headerFooter",
        "rowBreaks",     "colBreaks",   "ignoredErrors", "phoneticPr"};
    return std::find(kPlain.begin(), kPlain.end(), name) != kPlain.end();
}

class TSheetReader {
  public:
    TSheetReader(zip_t* zip, const std::string& name, const TSharedStrings& shared,
                 const std::vector<bool>& plainStyles, const TWorkbookReader::TRowHandler& handler,
                 const TReading& reading)
        : part_(zip, name, reading),
          limits_(reading.limits),
          name_(name),
          shared_(shared),
          plainStyles_(plainStyles),
          handler_(handler) {
        if (!part_.Exists()) {
            Damaged(name);
        }
    }

    void Read() {
        while (part_.Next()) {
            if (!part_.IsStart()) {
                continue;
            }
            if (part_.Depth() == 1 && !IsPlainSheetElement(part_.Name())) {
                if (part_.Name() != "autoFilter" && part_.Name() != "extLst") {
                    Refuse("最初のシートに値のセル以外のもの (" + std::string(part_.Name()) +
                           ") があります。");
                }
            } else if (part_.Name() == "row" && part_.Depth() == 2) {
                ReadRow();
            }
        }
    }

  private:
    void ReadRow() {
        const long long number = NumberOf(part_.Attribute("r")).value_or(rows_ + 1);
        if (number <= rows_) {
            Damaged(name_);
        }
        if (number > TWorkbookText::MaxRows) {
            BeyondLimit("行数が Excel のワークシートの上限 (" + Thousands(TWorkbookText::MaxRows) +
                        " 行) を超えています。");
        }
        std::vector<std::string> empty;
        while (rows_ + 1 < number) {
            ++rows_;
            handler_(empty);
        }
        cells_.clear();
        rowBytes_ = 0;
        if (!part_.IsEmpty()) {
            const int depth = part_.Depth();
            while (part_.Next() && !(part_.IsEnd() && part_.Depth() == depth)) {
                if (part_.IsStart() && part_.Name() == "c") {
                    ReadCell(number);
                }
            }
        }
        ++rows_;
        handler_(cells_);
    }

    void ReadCell(long long row) {
        const std::optional<std::string> reference = part_.Attribute("r");
        const std::optional<std::size_t> column =
            reference ? ColumnOf(*reference) : std::optional<std::size_t>(cells_.size());
        if (!column || *column < cells_.size()) {
            Damaged(name_);
        }
        const std::string cell = CellName(*column, row);
        if (*column >= TWorkbookText::MaxColumns) {
            BeyondLimit("セル " + cell + " の列が Excel の上限 (" +
                        Thousands(TWorkbookText::MaxColumns) + " 列) を超えています。");
        }
        part_.SetPlace("セル " + cell);
        const std::string type = part_.Attribute("t").value_or("n");
        const std::optional<long long> style = NumberOf(part_.Attribute("s"));
        std::optional<std::string> value;
        if (!part_.IsEmpty()) {
            const int depth = part_.Depth();
            while (part_.Next() && !(part_.IsEnd() && part_.Depth() == depth)) {
                if (!part_.IsStart()) {
                    continue;
                }
                if (part_.Name() == "f") {
                    Refuse("最初のシートに数式があります (" + cell + ")。");
                }
                if (part_.Name() == "v" || part_.Name() == "is") {
                    value = part_.InnerText();
                    if (!value) {
                        BeyondLimit(TooLongCell("セル " + cell));
                    }
                }
            }
        }
        if (!value) {
            return;  // a formatted empty cell
        }
        std::string text = CellText(type, style, std::move(*value), cell);
        Count(text, cell);
        cells_.resize(*column + 1);
        cells_[*column] = std::move(text);
    }

    // Keeps the row, and all rows so far, within what is read back.
    void Count(const std::string& text, const std::string& cell) {
        rowBytes_ += text.size();
        textBytes_ += text.size();
        if (rowBytes_ > TWorkbookText::MaxRowBytes) {
            BeyondLimit("セル " + cell + " までで 1 行の文字列が " +
                        Bytes(TWorkbookText::MaxRowBytes) + " を超えます。");
        }
        if (++cellCount_ > limits_.cells) {
            BeyondLimit("値のあるセルが " +
                        Thousands(static_cast<unsigned long long>(limits_.cells)) +
                        " 個を超えます (セル " + cell + ")。");
        }
        if (textBytes_ > limits_.textBytes) {
            BeyondLimit("セルの文字列が合わせて " + Bytes(limits_.textBytes) +
                        " を超えます (セル " + cell + ")。");
        }
    }

    std::string CellText(const std::string& type, std::optional<long long> style, std::string value,
                         const std::string& cell) const {
        if (type == "s") {
            const std::optional<long long> index = NumberOf(value);
            if (!index || *index >= static_cast<long long>(shared_.texts.size())) {
                Damaged(name_);
            }
            const auto at = static_cast<std::size_t>(*index);
            if (shared_.tooLong[at]) {
                BeyondLimit(TooLongCell("セル " + cell));
            }
            return shared_.texts[at];
        }
        if (type == "b") {
            return value == "1" ? "TRUE" : "FALSE";
        }
        if (type == "n") {
            const std::size_t s = static_cast<std::size_t>(style.value_or(0));
            if (style && (s >= plainStyles_.size() || !plainStyles_[s])) {
                Refuse("最初のシートに書式付きの数値や日付があります (" + cell + ")。");
            }
            return value;
        }
        if (type == "inlineStr" || type == "str") {
            return value;
        }
        Refuse("最初のシートに値の種類 \"" + type + "\" のセルがあります (" + cell + ")。");
    }

    TPart part_;
    const TWorkbookReader::TLimits& limits_;
    std::string name_;
    const TSharedStrings& shared_;
    const std::vector<bool>& plainStyles_;
    const TWorkbookReader::TRowHandler& handler_;
    long long rows_ = 0;
    std::vector<std::string> cells_;
    std::size_t rowBytes_ = 0;
    std::uint64_t textBytes_ = 0;
    long long cellCount_ = 0;
};

}  // namespace

void TWorkbookReader::ReadFirstSheet(int fd, const TRowHandler& row, const TPoll& poll) {
    ReadFirstSheet(fd, row, poll, TLimits());
}

void TWorkbookReader::ReadFirstSheet(int fd, const TRowHandler& row, const TPoll& poll,
                                     const TLimits& limits) {
    const TReading reading{poll, limits};
    const int own = ::dup(fd);
    if (own < 0) {
        Damaged(std::strerror(errno));
    }
    ::lseek(own, 0, SEEK_SET);
    int error = 0;
    TZip zip(zip_fdopen(own, ZIP_RDONLY, &error));  // takes `own`
    if (!zip) {
        ::close(own);
        Damaged("zip");
    }
    const TWorkbookParts parts = FindParts(zip.get(), reading);
    const TSharedStrings shared = ReadSharedStrings(zip.get(), parts.sharedStrings, reading);
    const std::vector<bool> plainStyles = ReadPlainNumberStyles(zip.get(), parts.styles, reading);
    TSheetReader(zip.get(), parts.sheet, shared, plainStyles, row, reading).Read();
}
