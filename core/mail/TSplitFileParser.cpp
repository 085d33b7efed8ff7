#include "mail/TSplitFileParser.h"

#include <climits>
#include <cstring>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TSplitFileParser::TSplitFileParser(std::unique_ptr<TMappedFile> file) : file_(std::move(file)) {
    text_ = file_->View();
    if (text_.starts_with(kByteOrderMark)) {
        text_.remove_prefix(kByteOrderMark.size());
    }
}

int TSplitFileParser::GetCount() {
    return starts_.size() > INT_MAX ? INT_MAX : static_cast<int>(starts_.size());
}

TLines TSplitFileParser::GetMailLines(int index) {
    return WithoutZeroBytes(MailLineViews(index));
}

std::vector<std::string_view> TSplitFileParser::MailLineViews(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= starts_.size()) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("メールの番号が範囲外です。"));
    }
    const std::size_t i = static_cast<std::size_t>(index);
    const std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
    const std::string_view rest = text_.substr(starts_[i], end - starts_[i]);

    // A 0 byte is kept here (TMail drops it): it ends neither line nor mail.
    TLineSplitter splitter(rest, TLineSplitter::TZeroByte::kIsData);
    std::string_view line;
    splitter.Next(line);  // the separator line is not part of the mail
    std::vector<std::string_view> lines;
    while (splitter.Next(line)) {
        lines.push_back(line);
    }
    if (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    file_->CheckIntact(rest);
    return lines;
}
