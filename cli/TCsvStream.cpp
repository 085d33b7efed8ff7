#include "TCsvStream.h"

#include <string>
#include <string_view>

#include "codeconv/TSjisUnicode.h"
#include "convert/TCsvText.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

bool Put(std::FILE* stream, std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}

}  // namespace

bool TCsvStream::Write(const TResultTable& table, std::FILE* stream, int saveType,
                       TCsvOptions options) {
    if (saveType != TCsvFile::Overwrite && saveType != TCsvFile::Append) {
        return false;
    }
    if (options.utf8 && options.byteOrderMark && !Put(stream, "\xEF\xBB\xBF")) {
        return false;
    }
    std::string block;
    const auto flush = [&] {
        // Blocks end at line ends, so no character is ever cut in two.
        const bool written = Put(stream, options.utf8 ? TSjisUnicode::ToUtf8(block) : block);
        block.clear();
        return written;
    };
    const int first =
        saveType == TCsvFile::Overwrite ? TResultTable::TitleRow : TResultTable::FirstMailRow;
    for (int row = first; row < table.RowCount(); ++row) {
        TCsvText::AppendRow(block, table.Row(row), options.safeCells);
        if (block.size() >= kBlockSize && !flush()) {
            return false;
        }
    }
    return (block.empty() || flush()) && std::fflush(stream) == 0 && !std::ferror(stream);
}
