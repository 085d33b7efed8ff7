#include "convert/TWorkbookFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/SjisText.h"
#include "base/TFd.h"
#include "base/TKestrifyError.h"
#include "base/TOutputFile.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TConvertMessages.h"
#include "convert/TCsvRowReader.h"
#include "workbook/TWorkbookReader.h"
#include "workbook/TWorkbookText.h"
#include "workbook/TWorkbookWriter.h"

namespace {

// A stop is looked for every this many rows.
constexpr long long kStopCheckRows = 4096;

struct TStopped {};

// A message text of this file (written here in UTF-8) as Shift_JIS.
std::string Sjis(const char* text) {
    return TSjisUnicode::FromUtf8(text);
}

}  // namespace

bool TWorkbookFile::IsWorkbookName(const std::string& fileName) {
    return fileName.size() >= 5 && sjis::ToUpper(fileName.substr(fileName.size() - 5)) == ".XLSX";
}

void TWorkbookFile::CheckStop() {
    if (++checked_ % kStopCheckRows == 0 && stop_.stop_requested()) {
        throw TStopped();
    }
}

std::string TWorkbookFile::ColumnTitle(std::size_t index) const {
    const int column = static_cast<int>(index) + 1;
    return column < table_.ColumnCount() ? std::string(table_.Cell(TResultTable::TitleRow, column))
                                         : std::string();
}

void TWorkbookFile::AddMailRow(TWorkbookWriter& book, std::vector<std::string>& sjisCells,
                               const std::string& mail) {
    CheckStop();
    utf8_.resize(sjisCells.size());
    for (std::size_t c = 0; c < sjisCells.size(); ++c) {
        std::size_t unmapped = 0;
        utf8_[c] = TSjisUnicode::ToUtf8(sjisCells[c], unmapped);
        if (unmapped > 0) {
            host_.SaveWarning(mail + Sjis(": 列「") + ColumnTitle(c) +
                              Sjis("」に Unicode で表せない文字があり、「?」にしました。"));
        }
    }
    book.AddRow(utf8_, false, [&](std::size_t column) {
        host_.SaveWarning(mail + Sjis(": 列「") + ColumnTitle(column) +
                          Sjis("」の値が Excel のセルの上限 (32,767 文字) を超えるため、"
                               "切り詰めました。"));
    });
}

void TWorkbookFile::AddNewRows(TWorkbookWriter& book, bool withTitle) {
    std::vector<std::string> cells;
    const auto tableRow = [&](int row) {
        const TResultTable::TRowView view = table_.Row(row);
        cells.assign(view.size() - 1, std::string());
        for (std::size_t c = 1; c < view.size(); ++c) {
            // As in CSV: a line break in a cell is one LF (a CR would show
            // in Excel as "_x000D_"); CR is never part of a Shift_JIS character.
            cells[c - 1] = std::string_view(view[c]);
            std::erase(cells[c - 1], '\r');
        }
    };
    if (withTitle) {
        tableRow(TResultTable::TitleRow);
        std::size_t unmapped = 0;
        for (std::string& cell : cells) {
            cell = TSjisUnicode::ToUtf8(cell, unmapped);
        }
        book.AddRow(cells, true);
    }
    for (int row = TResultTable::FirstMailRow; row < table_.RowCount(); ++row) {
        tableRow(row);
        const std::string number(table_.Cell(row, 0));
        AddMailRow(book, cells, number + Sjis("番目のメール"));
    }
    if (mailRows_ == nullptr) {
        return;
    }
    int mail = table_.RowCount() - TResultTable::FirstMailRow;
    TCsvRowReader reader([&](std::vector<std::string>& row) {
        AddMailRow(book, row, std::to_string(++mail) + Sjis("番目のメール"));
        return true;
    });
    if (!mailRows_->ForEachBlock([&](std::string_view text) { return reader.Feed(text); }) ||
        !reader.Finish()) {
        error_ = mailRows_->Error() != 0 ? mailRows_->Error() : EIO;
        throw TStopped();
    }
}

bool TWorkbookFile::AddOldRows(TOutputFile& file, TWorkbookWriter& book) {
    struct stat info {};
    if (file.Kind() == TOutputFile::TKind::Stream || ::stat(file.Target().c_str(), &info) != 0 ||
        info.st_size == 0) {
        return false;  // nothing to keep: a new file, or a stream
    }
    const TFd old(::open(file.Target().c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (old.Get() < 0) {
        throw TKestrifyError(Sjis("追記先の Excel ブックを読めないため、保存しません。\n") +
                             TSjisUnicode::FromUtf8(std::strerror(errno)));
    }
    // The reader hands over no cell beyond Excel's limit and no row beyond
    // the writer's: the old rows go over as they are.
    TWorkbookReader::ReadFirstSheet(
        old.Get(),
        [&](std::vector<std::string>& cells) {
            CheckStop();
            book.AddRow(cells, book.RowCount() == 0);
        },
        [&] {
            if (stop_.stop_requested()) {
                throw TStopped();
            }
        });
    return book.RowCount() > 0;
}

bool TWorkbookFile::Write(const std::string& fileName, int saveType) {
    error_ = 0;
    failure_.clear();
    if (saveType != 0 && saveType != 1) {
        return false;
    }
    const long long newRows = static_cast<long long>(table_.RowCount()) -
                              TResultTable::FirstMailRow +
                              (mailRows_ != nullptr ? mailRows_->RowCount() : 0);
    if (newRows + 1 > TWorkbookText::MaxRows) {
        failure_ = Sjis(
            "行数が Excel のワークシートの上限 (1,048,576 行) を超えるため、"
            "保存しません。");
        return false;
    }
    TOutputFile file(TSjisUnicode::ToPath(fileName), TOutputFile::TMode::Replace, stop_);
    if (!file.IsOpen()) {
        error_ = file.Error();
        return false;
    }
    try {
        TWorkbookWriter book(TSjisUnicode::ToUtf8(sheetName_));
        const bool hasTitle = saveType == 1 && AddOldRows(file, book);
        AddNewRows(book, !hasTitle);
        book.Finish();
        if (book.CopyTo([&](std::string_view bytes) { return file.Write(bytes); }) &&
            file.Commit()) {
            host_.ShowStatus(TConvertMessages::Saved());
            return true;
        }
    } catch (const TStopped&) {
        if (error_ == 0) {
            error_ = EINTR;
        }
        file.Abort();
        return false;
    } catch (const TKestrifyError& e) {
        failure_ = e.what();
        file.Abort();
        return false;
    }
    error_ = file.Error() != 0 ? file.Error() : EIO;
    return false;
}

bool TWorkbookFile::WriteTo(const std::function<bool(std::string_view)>& write) {
    error_ = 0;
    failure_.clear();
    try {
        TWorkbookWriter book(TSjisUnicode::ToUtf8(sheetName_));
        AddNewRows(book, true);
        book.Finish();
        if (book.CopyTo(write)) {
            return true;
        }
        error_ = EIO;
    } catch (const TStopped&) {
        error_ = error_ == 0 ? EINTR : error_;
    } catch (const TKestrifyError& e) {
        failure_ = e.what();
    }
    return false;
}
