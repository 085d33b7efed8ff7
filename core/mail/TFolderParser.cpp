#include "mail/TFolderParser.h"

#include <fcntl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <system_error>

#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

struct TEntry {
    std::string key;   // the name with ASCII letters upper-cased
    std::string name;  // the name as on disk, to break ties
    std::filesystem::path path;
};

}  // namespace

TFolderParser::TFolderParser(const std::string& sjisFolder,
                             const std::function<bool(std::string_view)>& accept) {
    const std::filesystem::path folder = TSjisUnicode::ToPath(sjisFolder);
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec == std::errc::no_such_file_or_directory) {
        return;  // a folder that does not exist has no mails
    }
    std::vector<TEntry> entries;
    const TStoreBoundary boundary(folder);
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!accept(name)) {
            continue;
        }
        // Sub-folders are no mails, and say nothing; anything else that is
        // no plain file inside the folder is counted.
        std::error_code typeError;
        const std::filesystem::file_type type = it->symlink_status(typeError).type();
        const bool mail =
            type == std::filesystem::file_type::regular ||
            (type == std::filesystem::file_type::symlink && boundary.IsMailLink(it->path()));
        if (mail) {
            entries.push_back({sjis::AsciiToUpper(name), std::move(name), it->path()});
        } else if (type != std::filesystem::file_type::directory &&
                   !(type == std::filesystem::file_type::symlink && it->is_directory(typeError))) {
            ++skipped_;
        }
    }
    // One that cannot be listed, wholly or part of the way, is no empty
    // store: its mails would be lost from the CSV.
    if (ec) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("フォルダを読めません。\n") +
                             TSjisUnicode::FromPath(folder) + " (" + ::strerrordesc_np(ec.value()) +
                             ")");
    }
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        return a.key != b.key ? a.key < b.key : a.name < b.name;
    });
    boundary_.emplace(folder);
    files_.reserve(entries.size());
    for (TEntry& e : entries) {
        files_.push_back(std::move(e.path));
    }
}

int TFolderParser::GetCount() {
    return files_.size() > INT_MAX ? INT_MAX : static_cast<int>(files_.size());
}

std::unique_ptr<TMappedFile> TFolderParser::OpenMail(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= files_.size()) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    const std::filesystem::path& path = files_[static_cast<std::size_t>(index)];
    TFd fd = boundary_->Open(AT_FDCWD, {}, path.c_str());
    return TMappedFile::FromOpenFile(fd, TStoreBoundary::PlainFileSize(fd.Get(), path), path);
}

std::span<const std::string_view> TFolderParser::SplitLines(const TMappedFile& file) {
    // One list per thread, reused from mail to mail.
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    TLineSplitter::AppendViews(file.View(), lines, TLineSplitter::TZeroByte::kIsData);
    file.CheckIntact(file.View());
    return lines;
}

TLines TFolderParser::GetMailLines(int index) {
    const std::unique_ptr<TMappedFile> file = OpenMail(index);
    return WithoutZeroBytes(SplitLines(*file));
}

void TFolderParser::AppendRawHeader(int index, std::string& out) {
    const std::unique_ptr<TMappedFile> file = OpenMail(index);
    // Only the header is cut into lines: a large body is never touched.
    TLineSplitter splitter(file->View(), TLineSplitter::TZeroByte::kIsData);
    std::string_view line;
    while (splitter.Next(line) && !line.empty()) {
        out.append(line).push_back('\n');
    }
    file->CheckIntact(file->View().substr(0, splitter.Position()));
}
