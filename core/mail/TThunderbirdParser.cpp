#include "mail/TThunderbirdParser.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/SeparatorSearch.h"
#include "mail/TMail.h"
#include "mail/TMozillaStatus.h"

namespace {

constexpr std::string_view kSeparator = "From - ";
constexpr std::string_view kQuoted = "From ";

// ">From ", ">>From ", …: written for a body line starting "From ".
bool IsQuotedFrom(std::string_view line) {
    if (line.empty() || line.front() != '>') {
        return false;  // nearly every line: decided by its first byte
    }
    const std::size_t quotes = line.find_first_not_of('>');
    return quotes != 0 && quotes != std::string_view::npos &&
           line.substr(quotes).starts_with(kQuoted);
}

}  // namespace

TThunderbirdParser::TThunderbirdParser(const std::string& sjisPath, int threads)
    : TThunderbirdParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath)), threads) {}

TThunderbirdParser::TThunderbirdParser(std::unique_ptr<TMappedFile> file, int threads)
    : TSplitFileParser(std::move(file)) {
    const std::string_view text = Text();
    // Each mail's flags are read as its separator is found, while its
    // header is still in the cache; deleted mails are rare.
    std::vector<std::uint64_t> deleted;
    std::mutex deletedMutex;
    const auto check = [text](std::uint64_t at, std::vector<std::uint64_t>& found) {
        if (TMozillaStatus::IsDeleted(text.substr(at))) {
            found.push_back(at);
        }
    };
    if (text.starts_with(kSeparator)) {
        AddStart(0);
        check(0, deleted);
    }
    IndexInPieces(threads, [&](std::size_t from, std::size_t to, auto&& add) {
        std::vector<std::uint64_t> found;
        FindSeparatorLines(text, kSeparator, from, to, [&](std::uint64_t at) {
            add(at);
            check(at, found);
        });
        const std::lock_guard lock(deletedMutex);
        deleted.insert(deleted.end(), found.begin(), found.end());
    });
    SkipDeleted(std::move(deleted));
}

void TThunderbirdParser::SkipDeleted(std::vector<std::uint64_t> deleted) {
    if (deleted.empty()) {
        return;
    }
    std::sort(deleted.begin(), deleted.end());
    anyDeleted_ = true;
    auto next = deleted.begin();
    const std::size_t count = std::min<std::size_t>(StartCount(), INT_MAX);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t start = TSplitFileParser::MailStart(static_cast<int>(i));
        while (next != deleted.end() && *next < start) {
            ++next;
        }
        if (next != deleted.end() && *next == start) {
            continue;
        }
        kept_.push_back(static_cast<std::uint32_t>(i));
    }
}

int TThunderbirdParser::GetCount() {
    ThrowIfChanged();
    if (!anyDeleted_) {
        return TSplitFileParser::GetCount();
    }
    return kept_.size() > INT_MAX ? INT_MAX : static_cast<int>(kept_.size());
}

int TThunderbirdParser::Separator(int index) const {
    if (!anyDeleted_) {
        return index;  // checked by the base
    }
    if (index < 0 || static_cast<std::size_t>(index) >= kept_.size()) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    return static_cast<int>(kept_[static_cast<std::size_t>(index)]);
}

std::span<const std::string_view> TThunderbirdParser::Unquoted(
    std::span<const std::string_view> lines) const {
    const auto quoted = std::find_if(lines.begin(), lines.end(), IsQuotedFrom);
    if (quoted == lines.end()) {
        return lines;
    }
    // One list per thread, reused from mail to mail, as the base's.
    thread_local std::vector<std::string_view> out;
    out.assign(lines.begin(), lines.end());
    for (auto it = out.begin() + (quoted - lines.begin()); it != out.end(); ++it) {
        if (IsQuotedFrom(*it)) {
            it->remove_prefix(1);
        }
    }
    return out;
}

std::unique_ptr<TBasicMail> TThunderbirdParser::GetMail(int index) {
    const std::span<const std::string_view> lines = Unquoted(MailLineViews(Separator(index)));
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{{}, index + 1});
}

TLines TThunderbirdParser::GetMailLines(int index) {
    return WithoutZeroBytes(Unquoted(MailLineViews(Separator(index))));
}

void TThunderbirdParser::AppendRawHeader(int index, std::string& out) {
    TSplitFileParser::AppendRawHeader(Separator(index), out);
}

std::uint64_t TThunderbirdParser::MailStart(int index) const {
    return TSplitFileParser::MailStart(Separator(index));
}
