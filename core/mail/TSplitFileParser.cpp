#include "mail/TSplitFileParser.h"

#include <climits>
#include <cstring>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TStoreChangedError.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TSplitFileParser::TSplitFileParser(std::unique_ptr<TMappedFile> file) : file_(std::move(file)) {
    text_ = file_->View();
    if (text_.starts_with(kByteOrderMark)) {
        text_.remove_prefix(kByteOrderMark.size());
    }
}

void TSplitFileParser::ThrowIfChanged() const {
    if (!file_->IsWhole()) {
        throw TStoreChangedError();
    }
}

void TSplitFileParser::CheckUnchanged(std::string_view part) const {
    if (!file_->IsIntact(part)) {
        throw TStoreChangedError();
    }
}

int TSplitFileParser::GetCount() {
    ThrowIfChanged();
    return startCount_ > INT_MAX ? INT_MAX : static_cast<int>(startCount_);
}

void TSplitFileParser::AddStart(std::uint64_t offset) {
    if (startCount_ % kBlockSize == 0) {
        startBlocks_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kBlockSize));
    }
    startBlocks_.back()[startCount_ % kBlockSize] = offset;
    ++startCount_;
}

void TSplitFileParser::ClearStarts() {
    startBlocks_.clear();
    startCount_ = 0;
}

std::uint64_t TSplitFileParser::Start(std::size_t index) const {
    return startBlocks_[index >> kBlockBits][index & (kBlockSize - 1)];
}

std::uint64_t TSplitFileParser::MailStart(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= startCount_) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    return Start(static_cast<std::size_t>(index));
}

void TSplitFileParser::AppendRawHeader(int index, std::string& out) {
    const std::size_t i = static_cast<std::size_t>(index);
    const std::uint64_t start = TSplitFileParser::MailStart(index);
    const std::uint64_t end = i + 1 < startCount_ ? Start(i + 1) : text_.size();
    const std::string_view rest = text_.substr(start, end - start);
    // Only the header is cut into lines: a large body is never touched.
    TLineSplitter splitter(rest, TLineSplitter::TZeroByte::kIsData);
    std::string_view line;
    splitter.Next(line);  // the separator line is not part of the mail
    while (splitter.Next(line) && !line.empty()) {
        out.append(line).push_back('\n');
    }
    CheckUnchanged(rest.substr(0, splitter.Position()));
}

TLines TSplitFileParser::GetMailLines(int index) {
    return WithoutZeroBytes(MailLineViews(index));
}

std::string_view TSplitFileParser::RawMail(std::size_t index) const {
    const std::uint64_t start = Start(index);
    const std::uint64_t end = index + 1 < startCount_ ? Start(index + 1) : text_.size();
    return text_.substr(start, end - start);
}

std::span<const std::string_view> TSplitFileParser::MailLineViews(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= startCount_) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    const std::string_view rest = RawMail(static_cast<std::size_t>(index));

    // A 0 byte is kept here (TMail drops it): it ends neither line nor mail.
    // One list per thread, reused from mail to mail.
    thread_local std::vector<std::string_view> lines;
    lines.clear();
    TLineSplitter::AppendViews(rest, lines, TLineSplitter::TZeroByte::kIsData);
    CheckUnchanged(rest);
    std::span<const std::string_view> mail(lines);
    if (!mail.empty()) {
        mail = mail.subspan(1);  // the separator line is not part of the mail
    }
    if (!mail.empty() && mail.back().empty()) {
        mail = mail.first(mail.size() - 1);
    }
    return mail;
}
