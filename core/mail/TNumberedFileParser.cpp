#include "mail/TNumberedFileParser.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"
#include "mail/TMaildirName.h"
#include "mail/TMappedFile.h"

namespace {

// The lines of a mail file; a 0 byte is kept (TMail drops it).
std::span<const std::string_view> SplitLines(const TMappedFile& file) {
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    TLineSplitter::AppendViews(file.View(), lines, TLineSplitter::TZeroByte::kIsData);
    file.CheckIntact(file.View());
    return lines;
}

}  // namespace

TNumberedFileParser::TNumberedFileParser(const std::string& sjisFolder)
    : folder_(TSjisUnicode::ToPath(sjisFolder)) {}

std::string_view TNumberedFileParser::Keep(std::string_view name) {
    if (blockUsed_ + name.size() > kBlockSize) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        blockUsed_ = 0;
    }
    char* at = blocks_.back().get() + blockUsed_;
    std::memcpy(at, name.data(), name.size());
    blockUsed_ += name.size();
    return {at, name.size()};
}

bool TNumberedFileParser::AddFiles(const std::string& sub, bool (*accept)(std::string_view name)) {
    const auto subIndex = static_cast<std::uint16_t>(subs_.size());
    subs_.push_back(sub);
    return TDirectoryReader::List(
        sub.empty() ? folder_ : folder_ / sub, [&](const TDirectoryReader::TEntry& entry) {
            const std::string_view name = entry.Name();
            // File names are at most 255 bytes; the type is asked last, as
            // the name alone rules most entries out.
            if (name.size() <= UINT16_MAX && accept(name) && entry.IsFile()) {
                const std::string_view kept = Keep(name);
                entries_.push_back(
                    {kept.data(), static_cast<std::uint16_t>(kept.size()), subIndex});
            }
            return true;
        });
}

void TNumberedFileParser::Sort() {
    std::sort(entries_.begin(), entries_.end(), [](const TEntry& a, const TEntry& b) {
        const int order = TMaildirName::Compare({a.name, a.size}, {b.name, b.size});
        return order != 0 ? order < 0 : a.sub < b.sub;
    });
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

std::unique_ptr<TBasicMail> TNumberedFileParser::GetMail(int index) {
    const TMappedFile file(MailPath(index));
    return std::make_unique<TMail>(SplitLines(file), Options(), TMailOrigin{MailName(index)});
}

TLines TNumberedFileParser::GetMailLines(int index) {
    const TMappedFile file(MailPath(index));
    return WithoutZeroBytes(SplitLines(file));
}

void TNumberedFileParser::AppendRawHeader(int index, std::string& out) {
    const TMappedFile file(MailPath(index));
    // Only the header is cut into lines: a large body is never touched.
    TLineSplitter splitter(file.View(), TLineSplitter::TZeroByte::kIsData);
    std::string_view line;
    while (splitter.Next(line) && !line.empty()) {
        out.append(line).push_back('\n');
    }
    file.CheckIntact(file.View().substr(0, splitter.Position()));
}
