#include "TCsvStream.h"

#include <unistd.h>

#include <cerrno>
#include <stop_token>
#include <string>
#include <string_view>

#include "codeconv/TSjisUnicode.h"
#include "convert/TCsvText.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

// Written with the descriptor's own calls rather than the stream's: the
// stream's write goes on after a write a signal cut short, so a stop would
// wait for a reader that may never come back. A stop is looked at after
// every partial or interrupted write.
bool Put(std::FILE* stream, std::string_view text, const std::stop_token& stop) {
    const int fd = ::fileno(stream);
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n > 0) {
            text.remove_prefix(static_cast<std::size_t>(n));
        }
        if (!text.empty() && stop.stop_requested()) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool TCsvStream::Write(const TResultTable& table, std::FILE* stream, int saveType,
                       TCsvOptions options, TCsvSpool* mailRows) {
    if (saveType != TCsvFile::Overwrite && saveType != TCsvFile::Append) {
        return false;
    }
    // Whatever the stream holds goes first, so the text keeps its order.
    if (std::fflush(stream) != 0) {
        return false;
    }
    const std::stop_token& stop = options.stop;
    if (options.utf8 && options.byteOrderMark && !Put(stream, "\xEF\xBB\xBF", stop)) {
        return false;
    }
    std::string block;
    const auto flush = [&] {
        // Blocks end at line ends, so no character is ever cut in two.
        const bool written = Put(stream, options.utf8 ? TSjisUnicode::ToUtf8(block) : block, stop);
        block.clear();
        return written;
    };
    const int first =
        saveType == TCsvFile::Overwrite ? TResultTable::TitleRow : TResultTable::FirstMailRow;
    for (int row = first; row < table.RowCount(); ++row) {
        TCsvText::AppendRow(block, table.Row(row), options.safeCells);
        if (block.size() >= kBlockSize && (stop.stop_requested() || !flush())) {
            return false;
        }
    }
    if (!block.empty() && !flush()) {
        return false;
    }
    const bool rows = mailRows == nullptr || mailRows->ForEachBlock([&](std::string_view text) {
        if (stop.stop_requested()) {
            return false;
        }
        return options.utf8 ? Put(stream, TSjisUnicode::ToUtf8(text), stop)
                            : Put(stream, text, stop);
    });
    return rows;
}

bool TCsvStream::WriteWorkbook(TWorkbookFile& workbook, std::FILE* stream,
                               const std::stop_token& stop) {
    return std::fflush(stream) == 0 && workbook.WriteTo([stream, &stop](std::string_view bytes) {
        return !stop.stop_requested() && Put(stream, bytes, stop);
    });
}
