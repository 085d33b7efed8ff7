#pragma once
// The mail record every reader yields and the converter reads: decoded
// header values under the upper-cased header name with its colon
// ("SUBJECT:", "DATE:"), and the decoded body lines, all Shift_JIS.

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using THeaderMap = std::map<std::string, std::vector<std::string>>;
using TLines = std::vector<std::string>;

class TBasicMail {
  public:
    virtual ~TBasicMail() = default;

    virtual const THeaderMap& GetHeader() const = 0;
    virtual const TLines& GetBody() const = 0;
    // The multipart boundary text, or empty.
    virtual std::string GetBoundary() = 0;

    // The values GetHeader() holds under `key` (upper-cased, with its
    // colon), empty when none. A record may decode only the headers asked
    // for; the reference lives as long as the record.
    virtual const std::vector<std::string>& HeaderValues(const std::string& key) const;
    // GetBody() as views, valid as long as the record; a record that keeps
    // its body in one buffer gives them without a string per line.
    virtual std::span<const std::string_view> BodyLines() const;

  private:
    mutable std::vector<std::string_view> bodyViews_;  // for the plain BodyLines()
};

inline const std::vector<std::string>& TBasicMail::HeaderValues(const std::string& key) const {
    static const std::vector<std::string> kNone;
    const THeaderMap& header = GetHeader();
    const auto it = header.find(key);
    return it == header.end() ? kNone : it->second;
}

inline std::span<const std::string_view> TBasicMail::BodyLines() const {
    const TLines& body = GetBody();
    bodyViews_.assign(body.begin(), body.end());
    return bodyViews_;
}
