#include "workbook/TWorkbookReader.h"

#include <libxml/xmlreader.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "workbook/TWorkbookText.h"

namespace {

// Bounds on what is held in memory while reading: the shared strings, one
// cell's text and the columns of a row.
constexpr std::size_t kMaxSharedBytes = std::size_t{512} << 20;
constexpr std::size_t kMaxCellBytes = 4 * TWorkbookText::MaxCellChars;
constexpr std::size_t kMaxColumns = 16384;

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

struct TZipCloser {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
using TZip = std::unique_ptr<zip_t, TZipCloser>;

struct TReaderFree {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

// One XML part of the zip, read as a stream.
class TPart {
  public:
    TPart(zip_t* zip, const std::string& name) : name_(name) {
        file_ = zip_fopen(zip, name.c_str(), 0);
        if (file_ == nullptr) {
            return;
        }
        reader_.reset(xmlReaderForIO(&TPart::Read, &TPart::Close, this, nullptr, nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
        if (!reader_) {
            zip_fclose(file_);
            file_ = nullptr;
        }
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

    // Moves to the next node; false at the end. A damaged part throws.
    bool Next() {
        const int result = xmlTextReaderRead(reader_.get());
        if (result < 0) {
            Damaged(name_);
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
    // phonetic guides); leaves the reader on its end.
    std::string InnerText() {
        std::string text;
        if (IsEmpty()) {
            return text;
        }
        const int depth = Depth();
        int skipDepth = -1;
        while (Next() && !(IsEnd() && Depth() == depth)) {
            if (IsStart() && skipDepth < 0 && Name() == "rPh") {
                skipDepth = IsEmpty() ? -1 : Depth();
            } else if (IsEnd() && Depth() == skipDepth) {
                skipDepth = -1;
            } else if (IsText() && skipDepth < 0) {
                text += Value();
                if (text.size() > kMaxCellBytes) {
                    Refuse("セルの文字列が長すぎます (" + name_ + ")。");
                }
            }
        }
        TWorkbookText::Unescape(text);
        return text;
    }

  private:
    static std::string_view Text(const xmlChar* text) {
        return text == nullptr ? std::string_view() : reinterpret_cast<const char*>(text);
    }
    static int Read(void* context, char* buffer, int length) {
        auto* part = static_cast<TPart*>(context);
        const zip_int64_t n = zip_fread(part->file_, buffer, static_cast<zip_uint64_t>(length));
        return n < 0 ? -1 : static_cast<int>(n);
    }
    static int Close(void*) { return 0; }

    std::string name_;
    zip_file_t* file_ = nullptr;
    std::unique_ptr<xmlTextReader, TReaderFree> reader_;
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

TWorkbookParts FindParts(zip_t* zip) {
    if (zip_name_locate(zip, "xl/vbaProject.bin", 0) >= 0) {
        Refuse("マクロを含むブックです。");
    }
    std::string firstId;
    int sheets = 0;
    {
        TPart workbook(zip, "xl/workbook.xml");
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
    TPart relations(zip, "xl/_rels/workbook.xml.rels");
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

std::vector<std::string> ReadSharedStrings(zip_t* zip, const std::string& name) {
    std::vector<std::string> strings;
    if (name.empty()) {
        return strings;
    }
    TPart part(zip, name);
    if (!part.Exists()) {
        Damaged(name);
    }
    std::size_t bytes = 0;
    while (part.Next()) {
        if (part.IsStart() && part.Name() == "si") {
            strings.push_back(part.InnerText());
            bytes += strings.back().size() + sizeof(std::string);
            if (bytes > kMaxSharedBytes) {
                Refuse("共有文字列が大きすぎます。");
            }
        }
    }
    return strings;
}

// Per cell style: whether a number in it shows as written (the general or
// the text format).
std::vector<bool> ReadPlainNumberStyles(zip_t* zip, const std::string& name) {
    std::vector<bool> plain;
    if (name.empty()) {
        return plain;
    }
    TPart part(zip, name);
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

// "BC12" -> 54 (0-based column); nullopt when it is no cell reference.
std::optional<std::size_t> ColumnOf(std::string_view reference) {
    std::size_t column = 0;
    std::size_t letters = 0;
    for (; letters < reference.size() && reference[letters] >= 'A' && reference[letters] <= 'Z';
         ++letters) {
        column = column * 26 + static_cast<std::size_t>(reference[letters] - 'A' + 1);
        if (column > kMaxColumns) {
            return std::nullopt;
        }
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
    TSheetReader(zip_t* zip, const std::string& name, const std::vector<std::string>& shared,
                 const std::vector<bool>& plainStyles, const TWorkbookReader::TRowHandler& handler)
        : part_(zip, name),
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
        if (number <= rows_ || number > TWorkbookText::MaxRows) {
            Damaged(name_);
        }
        std::vector<std::string> empty;
        while (rows_ + 1 < number) {
            ++rows_;
            handler_(empty);
        }
        cells_.clear();
        if (!part_.IsEmpty()) {
            const int depth = part_.Depth();
            while (part_.Next() && !(part_.IsEnd() && part_.Depth() == depth)) {
                if (part_.IsStart() && part_.Name() == "c") {
                    ReadCell();
                }
            }
        }
        ++rows_;
        handler_(cells_);
    }

    void ReadCell() {
        const std::optional<std::string> reference = part_.Attribute("r");
        const std::optional<std::size_t> column =
            reference ? ColumnOf(*reference) : std::optional<std::size_t>(cells_.size());
        if (!column || *column < cells_.size() || *column >= kMaxColumns) {
            Damaged(name_);
        }
        const std::string type = part_.Attribute("t").value_or("n");
        const std::optional<long long> style = NumberOf(part_.Attribute("s"));
        std::string value;
        bool hasValue = false;
        if (!part_.IsEmpty()) {
            const int depth = part_.Depth();
            while (part_.Next() && !(part_.IsEnd() && part_.Depth() == depth)) {
                if (!part_.IsStart()) {
                    continue;
                }
                if (part_.Name() == "f") {
                    Refuse("最初のシートに数式があります (" + reference.value_or("") + ")。");
                }
                if (part_.Name() == "v" || part_.Name() == "is") {
                    value = part_.InnerText();
                    hasValue = true;
                }
            }
        }
        if (!hasValue) {
            return;  // a formatted empty cell
        }
        cells_.resize(*column + 1);
        cells_[*column] = CellText(type, style, std::move(value), reference.value_or(""));
    }

    std::string CellText(const std::string& type, std::optional<long long> style, std::string value,
                         const std::string& reference) const {
        if (type == "s") {
            const std::optional<long long> index = NumberOf(value);
            if (!index || *index >= static_cast<long long>(shared_.size())) {
                Damaged(name_);
            }
            return shared_[static_cast<std::size_t>(*index)];
        }
        if (type == "b") {
            return value == "1" ? "TRUE" : "FALSE";
        }
        if (type == "n") {
            const std::size_t s = static_cast<std::size_t>(style.value_or(0));
            if (style && (s >= plainStyles_.size() || !plainStyles_[s])) {
                Refuse("最初のシートに書式付きの数値や日付があります (" + reference + ")。");
            }
            return value;
        }
        if (type == "inlineStr" || type == "str") {
            return value;
        }
        Refuse("最初のシートに値の種類 \"" + type + "\" のセルがあります (" + reference + ")。");
    }

    TPart part_;
    std::string name_;
    const std::vector<std::string>& shared_;
    const std::vector<bool>& plainStyles_;
    const TWorkbookReader::TRowHandler& handler_;
    long long rows_ = 0;
    std::vector<std::string> cells_;
};

}  // namespace

void TWorkbookReader::ReadFirstSheet(int fd, const TRowHandler& row) {
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
    const TWorkbookParts parts = FindParts(zip.get());
    const std::vector<std::string> shared = ReadSharedStrings(zip.get(), parts.sharedStrings);
    const std::vector<bool> plainStyles = ReadPlainNumberStyles(zip.get(), parts.styles);
    TSheetReader(zip.get(), parts.sheet, shared, plainStyles, row).Read();
}
