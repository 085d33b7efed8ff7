#include "convert/TCsvFile.h"

#include <fstream>
#include <system_error>

#include "base/SjisText.h"
#include "base/TAtomicFile.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TAppendFile.h"
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

bool CopyFile(const std::filesystem::path& source, const std::filesystem::path& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        return false;
    }
    TAtomicFile out(target);
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

}  // namespace

std::string TCsvFile::BackupFileName(const std::string& fileName) {
    return fileName.substr(0, ExtensionStart(fileName)) + ".bak";
}

std::string TCsvFile::WithCsvExtension(const std::string& fileName) {
    if (sjis::ToUpper(fileName.substr(ExtensionStart(fileName))) == ".CSV") {
        return fileName;
    }
    return fileName + ".csv";
}

template <typename TSink>
bool TCsvFile::WriteRows(TSink& sink, int firstRow, bool byteOrderMark) const {
    if (byteOrderMark && !sink.Write(kByteOrderMark)) {
        return false;
    }
    std::string block;
    block.reserve(kBlockSize + kBlockSize / 4);
    const auto flush = [&] {
        // Blocks end at line ends, so no double-byte character is ever cut.
        const bool written =
            options_.utf8 ? sink.Write(TSjisUnicode::ToUtf8(block)) : sink.Write(block);
        block.clear();
        return written;
    };
    for (int row = firstRow; row < table_.RowCount(); ++row) {
        TCsvText::AppendRow(block, table_.Row(row));
        if (block.size() >= kBlockSize && !flush()) {
            return false;
        }
    }
    return block.empty() || flush();
}

bool TCsvFile::WriteCsvFile(const std::string& fileName, int saveType) {
    if (saveType != Overwrite && saveType != Append) {
        return false;
    }
    const std::filesystem::path path = TSjisUnicode::ToPath(fileName);
    const bool bom = options_.utf8 && options_.byteOrderMark;
    bool written = false;
    if (saveType == Overwrite || IsMissing(path)) {
        TAtomicFile file(path);
        if (!file.IsOpen()) {
            return false;
        }
        TBusy busy(host_);
        const int first =
            saveType == Overwrite ? TResultTable::TitleRow : TResultTable::FirstMailRow;
        written = WriteRows(file, first, bom) && file.Commit();
    } else {
        TAppendFile file(path);
        if (!file.IsOpen()) {
            return false;
        }
        TBusy busy(host_);
        written = WriteRows(file, TResultTable::FirstMailRow, bom && file.OldSize() == 0) &&
                  file.Commit();
    }
    if (written) {
        host_.ShowStatus(TConvertMessages::Saved());
    }
    return written;
}

bool TCsvFile::BackupCsvFile(const std::string& fileName) {
    const std::filesystem::path source = TSjisUnicode::ToPath(fileName);
    if (IsMissing(source)) {
        return true;
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
    return copied || host_.ConfirmBackupFailure(TConvertMessages::BackupFailed());
}

bool TCsvFile::SaveAutomatic(const TAutoExexParam& param) {
    if (param.GetMakeBackup() && !BackupCsvFile(param.GetCsvFile())) {
        return false;
    }
    if (!WriteCsvFile(param.GetCsvFile(), param.GetSaveType())) {
        host_.ReportSaveFailure(TConvertMessages::SaveFailed());
        return false;
    }
    return true;
}
