#include "TCsvStream.h"

#include <cerrno>
#include <string>
#include <string_view>

#include "TStopSignal.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TCsvText.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

// A pipe whose reader is slow interrupts the write when a stop comes (the
// signal handler does not restart it); anything else interrupted goes on.
bool Put(std::FILE* stream, std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = std::fwrite(text.data(), 1, text.size(), stream);
        text.remove_prefix(n);
        if (text.empty()) {
            break;
        }
        if (errno != EINTR || TStopSignal::Requested()) {
            return false;
        }
        std::clearerr(stream);
    }
    return true;
}

bool Flush(std::FILE* stream) {
    while (std::fflush(stream) != 0) {
        if (errno != EINTR || TStopSignal::Requested()) {
            return false;
        }
        std::clearerr(stream);
    }
    return true;
}

}  // namespace

bool TCsvStream::Write(const TResultTable& table, std::FILE* stream, int saveType,
                       TCsvOptions options, TCsvSpool* mailRows) {
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
        if (block.size() >= kBlockSize && (TStopSignal::Requested() || !flush())) {
            return false;
        }
    }
    if (!block.empty() && !flush()) {
        return false;
    }
    const bool rows = mailRows == nullptr || mailRows->ForEachBlock([&](std::string_view text) {
        if (TStopSignal::Requested()) {
            return false;
        }
        return options.utf8 ? Put(stream, TSjisUnicode::ToUtf8(text)) : Put(stream, text);
    });
    return rows && Flush(stream) && !std::ferror(stream);
}

bool TCsvStream::WriteWorkbook(TWorkbookFile& workbook, std::FILE* stream) {
    return workbook.WriteTo([stream](std::string_view bytes) {
        return !TStopSignal::Requested() && Put(stream, bytes);
    }) && Flush(stream) &&
           !std::ferror(stream);
}
