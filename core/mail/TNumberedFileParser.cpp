#include "mail/TNumberedFileParser.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"
#include "mail/TMaildirName.h"
#include "mail/TMappedFile.h"

namespace {

// The lines of a mail file's bytes; a 0 byte is kept (TMail drops it).
// `mapped` holds the bytes of a large file, which are checked for having
// stayed in place while they were cut.
std::span<const std::string_view> SplitLines(std::string_view text, const TMappedFile* mapped) {
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    TLineSplitter::AppendViews(text, lines, TLineSplitter::TZeroByte::kIsData);
    if (mapped != nullptr) {
        mapped->CheckIntact(text);
    }
    return lines;
}

// Sorting a million names by whole-name comparisons mostly waits for
// memory; most pairs differ in their time, told by `time` alone, and most
// of the rest in the beginning of what follows it, told by `rest`.
struct TSortKeys {
    std::uint64_t time;
    std::uint64_t rest;
};

TSortKeys SortKeys(std::string_view name) {
    constexpr std::uint64_t kNoTime = UINT64_MAX;
    constexpr std::uint64_t kLongTime = UINT64_MAX - 1;  // beyond 19 digits
    const std::size_t digits = TMaildirName::TimeDigits(name);
    if (digits == 0) {
        return {kNoTime, TMaildirName::OrderKey(name)};
    }
    std::string_view time = name.substr(0, digits);
    time.remove_prefix(std::min(time.find_first_not_of('0'), time.size()));
    if (time.size() > 19) {
        return {kLongTime, TMaildirName::OrderKey(name)};  // times of any length
    }
    std::uint64_t value = 0;
    for (const char c : time) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return {value, TMaildirName::OrderKey(name.substr(digits))};
}

}  // namespace

TNumberedFileParser::TNumberedFileParser(const std::string& sjisFolder)
    : folder_(TSjisUnicode::ToPath(sjisFolder)), boundary_(folder_) {}

TNumberedFileParser::~TNumberedFileParser() {
    for (const int fd : subFds_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string_view TNumberedFileParser::Keep(std::string_view name) {
    if (blockUsed_ + name.size() + 1 > kBlockSize) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        blockUsed_ = 0;
    }
    char* at = blocks_.back().get() + blockUsed_;
    std::memcpy(at, name.data(), name.size());
    at[name.size()] = '\0';
    blockUsed_ += name.size() + 1;
    return {at, name.size()};
}

bool TNumberedFileParser::AddFiles(const std::string& sub, bool (*accept)(std::string_view name),
                                   TSubFolders folders) {
    const auto subIndex = static_cast<std::uint16_t>(subs_.size());
    const std::filesystem::path path = sub.empty() ? folder_ : folder_ / sub;
    subs_.push_back(sub);
    subFds_.push_back(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    subPaths_.push_back(path);
    return TDirectoryReader::List(path, [&](const TDirectoryReader::TEntry& entry) {
        const std::string_view name = entry.Name();
        // File names are at most 255 bytes; the type is asked last, as
        // the name alone rules most entries out.
        if (name.size() > UINT16_MAX || !accept(name)) {
            return true;
        }
        using TKind = TDirectoryReader::TEntry::TKind;
        const TKind kind = entry.Kind();
        if (kind == TKind::Folder && folders == TSubFolders::Silent) {
            return true;
        }
        if (kind != TKind::File &&
            (kind != TKind::Link || !boundary_.IsMailLink(path / std::string(name)))) {
            ++skipped_;
        } else {
            const std::string_view kept = Keep(name);
            const TSortKeys keys = SortKeys(name);
            entries_.push_back({keys.time, keys.rest, kept.data(),
                                static_cast<std::uint16_t>(kept.size()), subIndex});
        }
        return true;
    });
}

void TNumberedFileParser::Sort() {
    // By the time first, without touching the names; then each run of
    // equal times by the rest's key and only then by the names, whose bytes
    // then stay in the cache.
    const auto byKey = [](const TEntry& a, const TEntry& b) { return a.key < b.key; };
    std::sort(entries_.begin(), entries_.end(), byKey);
    for (auto run = entries_.begin(); run != entries_.end();) {
        const auto end = std::upper_bound(run, entries_.end(), *run, byKey);
        std::sort(run, end, [](const TEntry& a, const TEntry& b) {
            if (a.restKey != b.restKey) {
                return a.restKey < b.restKey;
            }
            const int order = TMaildirName::Compare({a.name, a.size}, {b.name, b.size});
            return order != 0 ? order < 0 : a.sub < b.sub;
        });
        run = end;
    }
}

int TNumberedFileParser::GetCount() {
    return entries_.size() > INT_MAX ? INT_MAX : static_cast<int>(entries_.size());
}

const TNumberedFileParser::TEntry& TNumberedFileParser::Entry(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    return entries_[static_cast<std::size_t>(index)];
}

std::string_view TNumberedFileParser::MailName(int index) const {
    const TEntry& entry = Entry(index);
    return {entry.name, entry.size};
}

std::filesystem::path TNumberedFileParser::MailPath(int index) const {
    const TEntry& entry = Entry(index);
    std::filesystem::path path = folder_;
    if (!subs_[entry.sub].empty()) {
        path /= subs_[entry.sub];
    }
    return path /= std::string_view(entry.name, entry.size);
}

std::string_view TNumberedFileParser::Load(int index, std::unique_ptr<TMappedFile>& large) const {
    // Each reading thread reuses one buffer; what is built from a mail
    // owns copies, so the next mail may overwrite it.
    thread_local std::string buffer;
    const TEntry& entry = Entry(index);
    const int fd = subFds_[entry.sub];
    if (fd < 0) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("ファイルが開けません。\n") +
                             TSjisUnicode::FromPath(MailPath(index)));
    }
    TFd file = boundary_.Open(fd, subPaths_[entry.sub], entry.name);
    // Most mails' names tell their size: one read then, without measuring.
    if (const std::optional<std::uint64_t> hint = TMaildirName::SizeHint(MailName(index))) {
        if (const auto whole = TMappedFile::ReadIfSize(file.Get(), *hint, buffer)) {
            return *whole;
        }
    }
    const std::uint64_t size = TStoreBoundary::PlainFileSize(file.Get(), MailPath(index));
    if (size <= TMappedFile::SmallSize()) {
        const std::optional<std::string_view> small =
            TMappedFile::ReadSmall(file.Get(), size, buffer);
        if (!small) {
            throw TKestrifyError(TSjisUnicode::FromUtf8("ファイルの読み取りに失敗しました。\n") +
                                 TSjisUnicode::FromPath(MailPath(index)));
        }
        return *small;
    }
    large = TMappedFile::FromOpenFile(file, size, MailPath(index));
    return large->View();
}

std::unique_ptr<TBasicMail> TNumberedFileParser::GetMail(int index) {
    std::unique_ptr<TMappedFile> large;
    const std::string_view text = Load(index, large);
    return std::make_unique<TMail>(SplitLines(text, large.get()), Options(),
                                   TMailOrigin{MailName(index)});
}

TLines TNumberedFileParser::GetMailLines(int index) {
    std::unique_ptr<TMappedFile> large;
    const std::string_view text = Load(index, large);
    return WithoutZeroBytes(SplitLines(text, large.get()));
}

void TNumberedFileParser::AppendRawHeader(int index, std::string& out) {
    std::unique_ptr<TMappedFile> large;
    const std::string_view text = Load(index, large);
    // Only the header is cut into lines: a large body is never touched.
    TLineSplitter splitter(text, TLineSplitter::TZeroByte::kIsData);
    std::string_view line;
    while (splitter.Next(line) && !line.empty()) {
        out.append(line).push_back('\n');
    }
    if (large) {
        large->CheckIntact(text.substr(0, splitter.Position()));
    }
}
