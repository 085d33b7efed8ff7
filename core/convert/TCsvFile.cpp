#include "convert/TCsvFile.h"

#include <sys/stat.h>

#include <fstream>
#include <system_error>

#include "base/SjisText.h"
#include "base/TOutputFile.h"
#include "base/Utf8Text.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TConvertMessages.h"
#include "convert/TCsvText.h"

namespace {

// Text is handed to the file in blocks of about this size.
constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t ExtensionStart(const std::string& fileName) {
    const std::size_t slash = fileName.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot < nameStart ? fileName.size() : dot;
}

class TBusy {
  public:
    explicit TBusy(TCsvSaveHost& host) : host_(host) { host_.SetBusy(true); }
    ~TBusy() { host_.SetBusy(false); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

  private:
    TCsvSaveHost& host_;
};

bool IsMissing(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::symlink_status(path, ec).type() ==
           std::filesystem::file_type::not_found;
}

// The folder resolved, the name kept: two names of one directory entry
// compare equal.
std::filesystem::path EntryOf(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::filesystem::path folder = std::filesystem::weakly_canonical(absolute.parent_path(), ec);
    if (ec) {
        folder = absolute.parent_path().lexically_normal();
    }
    return folder / absolute.filename();
}

// The copy gets the original's mode (and owner and group where it may), and
// is private while it is written: a private CSV never has a readable backup.
bool CopyFile(const std::filesystem::path& source, const std::filesystem::path& target) {
    std::ifstream in(source, std::ios::binary);
    struct stat info {};
    if (!in || ::stat(source.c_str(), &info) != 0) {
        return false;
    }
    TOutputFile out(
        target, TOutputFile::TMode::Replace, {},
        TOutputFile::TLook{static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid});
    std::string buffer(kBlockSize, '\0');
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        if (!out.Write(std::string_view(buffer.data(), static_cast<std::size_t>(in.gcount())))) {
            return false;
        }
    }
    if (in.bad() || !out.Commit()) {
        return false;
    }
    std::error_code ec;
    const auto modified = std::filesystem::last_write_time(source, ec);
    if (!ec) {
        std::filesystem::last_write_time(target, modified, ec);  // best effort, as a copy does
    }
    return true;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Whether `head` is valid text, where a sample of a longer file may end in
// the middle of a character (up to `partial` bytes of it).
template <typename TValid>
bool ValidSample(std::string_view head, std::size_t partial, TValid valid) {
    for (std::size_t dropped = 0; dropped <= partial && dropped <= head.size(); ++dropped) {
        if (valid(head.substr(0, head.size() - dropped))) {
            return true;
        }
    }
    return false;
}

// Rows appended to a file go in the encoding its text already has, when that
// can be told: a byte-order mark, or text valid in only one of the two.
bool AppendsUtf8(const TOutputFile::TExisting& existing, bool asked) {
    const std::string_view head = existing.head;
    if (head.starts_with(kByteOrderMark)) {
        return true;
    }
    if (IsAscii(head)) {
        return asked;
    }
    const bool cut = static_cast<long long>(head.size()) < existing.size;
    const bool utf8 =
        ValidSample(head, cut ? 3 : 0, [](std::string_view t) { return utf8::IsValid(t); });
    const bool sjis =
        ValidSample(head, cut ? 1 : 0, [](std::string_view t) { return sjis::IsValid(t); });
    return utf8 == sjis ? asked : utf8;
}

}  // namespace

std::string TCsvFile::BackupFileName(const std::string& fileName) {
    return fileName.substr(0, ExtensionStart(fileName)) + ".bak";
}

std::string TCsvFile::WithCsvExtension(const std::string& fileName) {
    const std::string extension = sjis::ToUpper(fileName.substr(ExtensionStart(fileName)));
    if (extension == ".CSV" || extension == ".XLSX") {
        return fileName;
    }
    return fileName + ".csv";
}

bool TCsvFile::WriteTableRows(TOutputFile& sink, int firstRow, bool utf8) const {
    std::string block;
    block.reserve(kBlockSize + kBlockSize / 4);
    const auto flush = [&] {
        // Blocks end at line ends, so no double-byte character is ever cut.
        const bool written = utf8 ? sink.Write(TSjisUnicode::ToUtf8(block)) : sink.Write(block);
        block.clear();
        return written;
    };
    for (int row = firstRow; row < table_.RowCount(); ++row) {
        TCsvText::AppendRow(block, table_.Row(row), options_.safeCells);
        if (block.size() >= kBlockSize && !flush()) {
            return false;
        }
    }
    return block.empty() || flush();
}

bool TCsvFile::WriteRows(TOutputFile& sink, int firstRow, bool utf8) const {
    return WriteTableRows(sink, firstRow, utf8) &&
           (mailRows_ == nullptr || mailRows_->ForEachBlock([&](std::string_view text) {
               return utf8 ? sink.Write(TSjisUnicode::ToUtf8(text)) : sink.Write(text);
           }));
}

bool TCsvFile::IsWorkbook(const std::string& fileName) const {
    return options_.format == TCsvOptions::TFormat::Workbook ||
           (options_.format == TCsvOptions::TFormat::ByName &&
            TWorkbookFile::IsWorkbookName(fileName));
}

std::string TCsvFile::LastFailure() const {
    return lastFailure_.empty() ? TConvertMessages::SaveFailed(lastError_) : lastFailure_;
}

bool TCsvFile::StreamRowsTo(const std::string& fileName, int saveType) {
    // A workbook is made whole at the end (its rows wait in the spool).
    if (mailRows_ == nullptr || IsWorkbook(fileName) || mailRows_->RowCount() > 0 ||
        saveType != Overwrite) {
        return false;
    }
    auto file = std::make_unique<TOutputFile>(TSjisUnicode::ToPath(fileName),
                                              TOutputFile::TMode::RenamedOnly, options_.stop);
    if (!file->IsOpen() || file->Kind() != TOutputFile::TKind::Renamed) {
        return false;
    }
    const bool started =
        (!options_.utf8 || !options_.byteOrderMark || file->Write(kByteOrderMark)) &&
        WriteTableRows(*file, TResultTable::TitleRow, options_.utf8);
    if (!started) {
        return false;  // the file is given up; the save tries again and reports
    }
    mailRows_->WriteInto(*file, options_.utf8);
    streamed_ = std::move(file);
    streamedName_ = fileName;
    return true;
}

bool TCsvFile::FinishStreamed(const std::string& fileName, int saveType) {
    if (fileName != streamedName_ || saveType != Overwrite) {
        // The rows are in the streamed file only: no other save can have them.
        streamed_.reset();
        lastError_ = EINVAL;
        return false;
    }
    bool written = false;
    {
        TBusy busy(host_);
        written = mailRows_->Finish() && streamed_->Commit();
    }
    lastError_ = streamed_->Error() != 0 ? streamed_->Error() : mailRows_->Error();
    streamed_.reset();
    if (written) {
        host_.ShowStatus(TConvertMessages::Saved());
    }
    return written;
}

bool TCsvFile::WriteCsvFile(const std::string& fileName, int saveType) {
    lastError_ = 0;
    lastFailure_.clear();
    if (streamed_) {
        return FinishStreamed(fileName, saveType);
    }
    if (saveType != Overwrite && saveType != Append) {
        return false;
    }
    if (IsWorkbook(fileName)) {
        TWorkbookFile workbook(table_, host_, options_.sheetName, mailRows_, options_.stop);
        TBusy busy(host_);
        const bool written = workbook.Write(fileName, saveType);
        lastError_ = workbook.Error();
        lastFailure_ = workbook.Failure();
        return written;
    }
    const TOutputFile::TMode mode =
        saveType == Overwrite ? TOutputFile::TMode::Replace : TOutputFile::TMode::Append;
    TOutputFile file(TSjisUnicode::ToPath(fileName), mode, options_.stop);
    if (!file.IsOpen()) {
        lastError_ = file.Error();
        return false;
    }
    bool utf8 = options_.utf8;
    std::string start;  // a byte-order mark or the line break the old text lacks
    // Rows appended to a file that is new or empty start with the title row
    // as an overwrite does.
    const bool fresh = saveType == Overwrite || file.Kind() == TOutputFile::TKind::Renamed ||
                       (file.Kind() == TOutputFile::TKind::Appended && file.Existing().size == 0);
    if (file.Kind() == TOutputFile::TKind::Appended && file.Existing().size > 0) {
        utf8 = AppendsUtf8(file.Existing(), utf8);
        start = file.Existing().endsInLineBreak ? "" : "\r\n";
    } else if (utf8 && options_.byteOrderMark &&
               (saveType == Overwrite || file.Kind() != TOutputFile::TKind::Stream)) {
        start = kByteOrderMark;
    }
    const int first = fresh ? TResultTable::TitleRow : TResultTable::FirstMailRow;
    bool written = false;
    {
        TBusy busy(host_);
        written =
            (start.empty() || file.Write(start)) && WriteRows(file, first, utf8) && file.Commit();
    }
    lastError_ = file.Error();
    if (written) {
        host_.ShowStatus(TConvertMessages::Saved());
    }
    return written;
}

bool TCsvFile::BackupCsvFile(const std::string& fileName) {
    const std::filesystem::path source = TSjisUnicode::ToPath(fileName);
    // Nothing to keep, or nothing that may be read as a file (a folder is
    // refused by the save itself, a device or FIFO is written straight).
    if (IsMissing(source) || !TOutputFile::IsRegularFile(source) ||
        TOutputFile::CallerDescriptor(source)) {
        return true;  // the caller's descriptor is written where it stands, never copied
    }
    const std::filesystem::path backup = TSjisUnicode::ToPath(BackupFileName(fileName));
    // A file that is its own backup name ("x.bak") is never replaced by a
    // copy of itself: that would delete it first.
    bool copied = false;
    if (EntryOf(source) != EntryOf(backup)) {
        // A link in the backup's place goes, not what it points to.
        std::error_code ec;
        const bool isLink = std::filesystem::is_symlink(backup, ec);
        const bool linkGone = !isLink || std::filesystem::remove(backup, ec);
        copied = linkGone && CopyFile(source, backup);
    }
    backupMade_ = copied;
    return copied || host_.ConfirmBackupFailure(TConvertMessages::BackupFailed());
}

bool TCsvFile::SaveAutomatic(const TAutoExexParam& param) {
    backupMade_ = false;
    if (param.GetMakeBackup() && !BackupCsvFile(param.GetCsvFile())) {
        return false;
    }
    if (!WriteCsvFile(param.GetCsvFile(), param.GetSaveType())) {
        if (!Stopped()) {
            host_.ReportSaveFailure(LastFailure());
        }
        return false;
    }
    return true;
}
