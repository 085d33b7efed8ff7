#include "workbook/TWorkbookWriter.h"

#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "workbook/TWorkbookText.h"

namespace {

// Column widths in half-width characters.
constexpr int kMinWidth = 6;
constexpr int kMaxWidth = 60;
constexpr std::size_t kBlockSize = 1 << 20;
// Excel's built-in number format "@": text, whatever it looks like.
constexpr std::uint8_t kTextFormat = 49;

[[noreturn]] void Fail(const std::string& utf8Reason) {
    throw TKestrifyError(TSjisUnicode::FromUtf8("Excel ブックを作れませんでした。\n" + utf8Reason));
}

[[noreturn]] void FailLibrary(lxw_error error) {
    Fail(lxw_strerror(error));
}

std::string TempFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

// An unnamed file when the system has them (nothing is left behind
// whatever happens), else a named one removed once the workbook is made.
int OpenTemp(const std::string& folder, std::string& name) {
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        name = "/proc/self/fd/" + std::to_string(fd);
        if (::access(name.c_str(), F_OK) == 0) {
            return fd;
        }
        ::close(fd);
    }
#endif
    name = folder + "/.kfy-xlsx-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named < 0) {
        Fail(std::strerror(errno));
    }
    return named;
}

}  // namespace

TWorkbookWriter::TWorkbookWriter(std::string_view sheetName) : tmpdir_(TempFolder()) {
    fd_ = OpenTemp(tmpdir_, path_);
    named_ = !path_.starts_with("/proc/");
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir_.data();
    options.use_zip64 = LXW_TRUE;  // sheets of a million rows pass 4 GB before packing
    workbook_ = workbook_new_opt(path_.c_str(), &options);
    if (workbook_ == nullptr) {
        Fail(std::strerror(ENOMEM));
    }
    const std::string sheet = TWorkbookText::SheetName(sheetName);
    sheet_ = workbook_add_worksheet(workbook_, sheet.c_str());
    if (sheet_ == nullptr) {
        Fail(lxw_strerror(LXW_ERROR_INVALID_SHEETNAME_CHARACTER));
    }
    text_ = workbook_add_format(workbook_);
    format_set_num_format_index(text_, kTextFormat);
    wrapped_ = workbook_add_format(workbook_);
    format_set_num_format_index(wrapped_, kTextFormat);
    format_set_text_wrap(wrapped_);
    title_ = workbook_add_format(workbook_);
    format_set_num_format_index(title_, kTextFormat);
    format_set_bold(title_);
    worksheet_freeze_panes(sheet_, 1, 0);
}

TWorkbookWriter::~TWorkbookWriter() {
    if (workbook_ != nullptr) {
        lxw_workbook_free(workbook_);  // given up: nothing more is written
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (named_) {
        ::unlink(path_.c_str());
    }
}

void TWorkbookWriter::AddRow(std::span<std::string> cells, bool title,
                             const std::function<void(std::size_t column)>& cut) {
    if (rows_ >= TWorkbookText::MaxRows) {
        throw TKestrifyError(TSjisUnicode::FromUtf8(
            "行数が Excel のワークシートの上限 (1,048,576 行) を超えるため、保存しません。"));
    }
    if (cells.size() > TWorkbookText::MaxColumns) {
        Fail("列数が Excel のワークシートの上限 (16,384 列) を超えています。");
    }
    if (widths_.size() < cells.size()) {
        widths_.resize(cells.size(), kMinWidth);
    }
    const auto row = static_cast<lxw_row_t>(rows_);
    std::size_t rowBytes = 0;
    for (std::size_t c = 0; c < cells.size(); ++c) {
        std::string& cell = cells[c];
        if (cell.empty()) {
            continue;
        }
        if (TWorkbookText::CutAfter(cell, TWorkbookText::MaxCellChars) && cut) {
            cut(c);
        }
        rowBytes += cell.size();
        if (rowBytes > TWorkbookText::MaxRowBytes) {
            Fail("1 行の文字列が 64 MiB を超えています。");
        }
        widths_[c] = std::max(widths_[c], TWorkbookText::DisplayWidth(cell, kMaxWidth));
        lxw_format* format = title                                  ? title_
                             : cell.find('\n') != std::string::npos ? wrapped_
                                                                    : text_;
        if (cell.find("_x") != std::string::npos) {
            std::string escaped = cell;
            TWorkbookText::EscapeLiteralEscapes(escaped);
            if (TWorkbookText::Length(escaped) <= TWorkbookText::MaxCellChars) {
                cell.swap(escaped);  // else kept as it is: the escapes would not fit
            }
        }
        const lxw_error error =
            worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(c), cell.c_str(), format);
        if (error != LXW_NO_ERROR) {
            FailLibrary(error);
        }
    }
    ++rows_;
}

void TWorkbookWriter::SetColumnWidths() {
    for (std::size_t c = 0; c < widths_.size(); ++c) {
        // One more for the cell's margins.
        worksheet_set_column(sheet_, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             widths_[c] + 1, nullptr);
    }
}

void TWorkbookWriter::Finish() {
    SetColumnWidths();
    const lxw_error error = workbook_close(workbook_);  // frees it whatever the outcome
    workbook_ = nullptr;
    if (error != LXW_NO_ERROR) {
        FailLibrary(error);
    }
    if (named_) {
        ::close(fd_);
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        ::unlink(path_.c_str());
        named_ = false;
        if (fd_ < 0) {
            Fail(std::strerror(errno));
        }
    }
}

bool TWorkbookWriter::CopyTo(const std::function<bool(std::string_view)>& write) const {
    std::string block(kBlockSize, '\0');
    off_t offset = 0;
    while (true) {
        const ssize_t n = ::pread(fd_, block.data(), block.size(), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Fail(std::strerror(errno));
        }
        if (n == 0) {
            return true;
        }
        if (!write(std::string_view(block.data(), static_cast<std::size_t>(n)))) {
            return false;
        }
        offset += n;
    }
}
