#include "convert/TOutputTargetCheck.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "base/TOutputFile.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TCsvFile.h"

namespace {

bool StatOf(const std::filesystem::path& path, struct stat& info) {
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the folder store `folder` holds `file`: inside it at any depth,
// or another name (a hard link) of one of its files.
bool InFolder(const std::filesystem::path& file, const struct stat& fileInfo,
              const std::filesystem::path& folder, const struct stat& folderInfo) {
    std::error_code ec;
    std::filesystem::path at = std::filesystem::canonical(file, ec);
    if (!ec) {
        while (at.has_relative_path()) {
            at = at.parent_path();
            struct stat info {};
            if (StatOf(at, info) && SameFile(info, folderInfo)) {
                return true;
            }
        }
    }
    if (fileInfo.st_nlink <= 1) {
        return false;  // no other name: the walk up has found every place it is
    }
    for (std::filesystem::recursive_directory_iterator
             it(folder, std::filesystem::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            SameFile(info, fileInfo)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<TOutputRefusal> TOutputTargetCheck::Refuse(const std::string& sjisTarget,
                                                         bool backup) const {
    if (auto refusal = RefuseOne(sjisTarget, TRole::Output)) {
        return refusal;
    }
    const std::filesystem::path target = TSjisUnicode::ToPath(sjisTarget);
    // A backup is made only of a regular file reached by name.
    if (!backup || !TOutputFile::IsRegularFile(target) || TOutputFile::CallerDescriptor(target)) {
        return std::nullopt;
    }
    return RefuseOne(TCsvFile::BackupFileName(sjisTarget), TRole::Backup);
}

std::optional<TOutputRefusal> TOutputTargetCheck::RefuseOne(const std::string& sjisTarget,
                                                            TRole role) const {
    const std::filesystem::path target = TSjisUnicode::ToPath(sjisTarget);
    struct stat output {};
    if (!StatOf(target, output) || !S_ISREG(output.st_mode)) {
        return std::nullopt;  // a new file, or a device or FIFO that is no input
    }
    const bool isOutput = role == TRole::Output;
    const char* what = nullptr;
    const char* english = nullptr;
    struct stat info {};
    const std::filesystem::path store = TSjisUnicode::ToPath(store_);
    if (StatOf(TSjisUnicode::ToPath(project_), info) && SameFile(info, output)) {
        what = "プロジェクトファイルです。";
        english = "the project file";
    } else if (StatOf(store, info) && SameFile(info, output)) {
        what = "メールの保存ファイルです。";
        english = "the mail store";
    } else if (StatOf(store, info) && S_ISDIR(info.st_mode) &&
               InFolder(target, output, store, info)) {
        what = "メールフォルダのファイルです。";
        english = "a file of the mail folder";
    }
    if (what == nullptr) {
        return std::nullopt;
    }
    TOutputRefusal refusal;
    refusal.message =
        sjisTarget + ": " +
        TSjisUnicode::FromUtf8(std::string(isOutput ? "出力先が" : "バックアップ先が") + what);
    refusal.english =
        std::string(isOutput ? "the output is " : "the backup would overwrite ") + english;
    return refusal;
}
