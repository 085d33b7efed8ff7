#include "mail/TThunderbirdParser.h"

#include <algorithm>
#include <climits>
#include <thread>

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
    if (text.starts_with(kSeparator)) {
        AddStart(0);
    }
    IndexInPieces(threads, [text](std::size_t from, std::size_t to, auto&& add) {
        FindSeparatorLines(text, kSeparator, from, to, add);
    });
    SkipDeleted(threads);
}

// Reads the flags of every mail, on up to `threads` threads for a large
// folder; only their header blocks are touched.
void TThunderbirdParser::SkipDeleted(int threads) {
    const std::size_t count = StartCount();
    std::vector<std::uint8_t> deleted(count);
    const auto mark = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            deleted[i] = TMozillaStatus::IsDeleted(RawMail(i)) ? 1 : 0;
        }
    };
    constexpr std::size_t kMinShare = 20000;
    const std::size_t shares = std::clamp<std::size_t>(
        count / kMinShare, 1, static_cast<std::size_t>(std::max(threads, 1)));
    std::vector<std::thread> helpers;
    for (std::size_t s = 1; s < shares; ++s) {
        const std::size_t from = count / shares * s;
        const std::size_t to = s + 1 == shares ? count : count / shares * (s + 1);
        try {
            helpers.emplace_back(mark, from, to);
        } catch (const std::system_error&) {
            mark(from, to);  // no thread to be had: done here
        }
    }
    mark(0, shares > 1 ? count / shares : count);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    anyDeleted_ = std::find(deleted.begin(), deleted.end(), 1) != deleted.end();
    if (anyDeleted_) {
        for (std::size_t i = 0; i < count && i <= UINT32_MAX; ++i) {
            if (deleted[i] == 0) {
                kept_.push_back(static_cast<std::uint32_t>(i));
            }
        }
    }
}

int TThunderbirdParser::GetCount() {
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
